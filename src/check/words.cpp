#include "check/words.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/interp.h"

namespace {

// The registry as a run registers it, built once; read-only afterwards.
struct TRegistry {
    TPoruBase State;
    std::vector<std::string> Names;   // command names as the table writes them
    std::vector<std::string> Particles;
    TRegistry()
    {
        RegisterBuiltins(State);
        size_t count = 0;
        const CommandRow* rows = CommandRows(count);
        std::set<std::string> particles;
        for (size_t i = 0; i < count; ++i) {
            Names.emplace_back(rows[i].name);
            const char* p = rows[i].argSpec;
            std::string slot;
            for (;; ++p) {
                if (*p == ',' || *p == '\0') {
                    std::string_view t = TrimView(slot);
                    if (!t.empty() && t[0] == '?')
                        t.remove_prefix(1);
                    if (!t.empty())
                        particles.emplace(t);
                    slot.clear();
                    if (*p == '\0')
                        break;
                } else {
                    slot += *p;
                }
            }
        }
        for (const char* extra : {"は", "が", "や", "の", "へ", "と"})
            particles.emplace(extra);
        Particles.assign(particles.begin(), particles.end());
        std::stable_sort(Particles.begin(), Particles.end(),
                         [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    }
};

const TRegistry& Registry()
{
    static const TRegistry registry;
    return registry;
}

std::vector<std::string> Chars(const std::string& s)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        const size_t len = CharLenAt(s, i);
        out.push_back(s.substr(i, len));
        i += len;
    }
    return out;
}

}   // namespace

const THashNode* FindBuiltin(std::string_view sjisName)
{
    return Registry().State.Words.Find(sjisName, true);
}

bool IsWindowOnlyCommand(const THashNode* node)
{
    if (!node || node->Kind != wkCommand)
        return false;
    Family family;
    if (!FamilyOfId(node->Id, family) || !IsWindowFamily(family))
        return false;
    // A host without the window gives every window command it cannot run one and
    // the same refusing handler: the handler most window commands share. A command
    // the host runs itself (表示, 待つ, ...) has a handler of its own.
    static const Handler refusing = [] {
        std::map<Handler, int> uses;
        size_t count = 0;
        const CommandRow* rows = CommandRows(count);
        for (size_t i = 0; i < count; ++i)
            if (IsWindowFamily(rows[i].family))
                ++uses[GetHandler(rows[i].id)];
        Handler best = nullptr;
        int most = 0;
        for (const auto& [h, n] : uses)
            if (n > most) {
                best = h;
                most = n;
            }
        return best;
    }();
    const Handler h = GetHandler(node->Id);
    return !h || h == refusing;
}

int CharDistance(const std::string& a, const std::string& b)
{
    const std::vector<std::string> x = Chars(a), y = Chars(b);
    std::vector<int> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j)
        row[j] = static_cast<int>(j);
    for (size_t i = 1; i <= x.size(); ++i) {
        int diag = row[0];
        row[0] = static_cast<int>(i);
        for (size_t j = 1; j <= y.size(); ++j) {
            const int up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return row[y.size()];
}

std::vector<std::string> NearestNames(const std::string& sjisWord, const std::vector<std::string>& extra)
{
    const std::string folded = FoldOkurigana(sjisWord);
    const int len = static_cast<int>(Chars(sjisWord).size());
    const int limit = len <= 2 ? 1 : (len <= 5 ? 2 : 3);
    std::vector<std::pair<int, std::string>> found;
    std::set<std::string> seen;
    auto consider = [&](const std::string& name) {
        if (name.empty() || !seen.insert(name).second)
            return;
        int d = std::min(CharDistance(sjisWord, name), CharDistance(folded, FoldOkurigana(name)));
        if (d <= limit)
            found.emplace_back(d, name);
    };
    for (const std::string& n : Registry().Names)
        consider(n);
    for (const std::string& n : extra)
        consider(n);
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (size_t i = 0; i < found.size() && out.size() < 3; ++i)
        out.push_back(found[i].second);
    return out;
}

const std::vector<std::string>& KnownParticles()
{
    return Registry().Particles;
}
