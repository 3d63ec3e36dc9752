#include "interp/services.h"

#include <map>

#include "interp/interp.h"

namespace services_detail {
namespace {
std::map<std::type_index, Factory>& Factories()
{
    static std::map<std::type_index, Factory> factories;
    return factories;
}
}   // namespace

void Provide(std::type_index type, Factory factory)
{
    Factories()[type] = std::move(factory);
}

Factory FactoryOf(std::type_index type)
{
    auto f = Factories().find(type);
    return f == Factories().end() ? Factory() : f->second;
}

void* Find(TPoruBase& st, std::type_index type)
{
    auto it = st.ServiceInstances.find(type);
    if (it != st.ServiceInstances.end())
        return it->second.get();
    auto f = Factories().find(type);
    if (f == Factories().end())
        return nullptr;
    std::shared_ptr<void> inst = f->second(st);
    void* raw = inst.get();
    st.ServiceInstances.emplace(type, std::move(inst));
    return raw;
}
}   // namespace services_detail
