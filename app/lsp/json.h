// A small JSON value with a reader and a writer: what the language server needs of
// the messages it exchanges (UTF-8 text, numbers as doubles).
#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TJson {
public:
    enum class TType { Null, Bool, Number, String, Array, Object };

    TJson() = default;
    TJson(std::nullptr_t) {}
    TJson(bool b) : type_(TType::Bool), bool_(b) {}
    TJson(int n) : type_(TType::Number), number_(n) {}
    TJson(long n) : type_(TType::Number), number_(static_cast<double>(n)) {}
    TJson(size_t n) : type_(TType::Number), number_(static_cast<double>(n)) {}
    TJson(double n) : type_(TType::Number), number_(n) {}
    TJson(const char* s) : type_(TType::String), string_(s) {}
    TJson(std::string s) : type_(TType::String), string_(std::move(s)) {}
    TJson(std::string_view s) : type_(TType::String), string_(s) {}

    static TJson Array()
    {
        TJson j;
        j.type_ = TType::Array;
        return j;
    }
    static TJson Object()
    {
        TJson j;
        j.type_ = TType::Object;
        return j;
    }

    TType Type() const { return type_; }
    bool IsNull() const { return type_ == TType::Null; }
    bool IsObject() const { return type_ == TType::Object; }
    bool IsString() const { return type_ == TType::String; }
    bool IsNumber() const { return type_ == TType::Number; }

    bool AsBool() const { return type_ == TType::Bool && bool_; }
    double AsNumber() const { return type_ == TType::Number ? number_ : 0; }
    int AsInt() const { return static_cast<int>(AsNumber()); }
    const std::string& AsString() const { return string_; }

    // Object members: a missing one reads as null; writing adds it.
    const TJson& operator[](const std::string& key) const;
    TJson& operator[](const std::string& key);
    bool Has(const std::string& key) const { return object_.count(key) > 0; }
    const std::map<std::string, TJson>& Members() const { return object_; }

    // Array elements.
    const std::vector<TJson>& Items() const { return array_; }
    void Push(TJson value);
    size_t Size() const { return type_ == TType::Array ? array_.size() : object_.size(); }

    std::string Dump() const;

    // Reads one value; false with `error` set on a fault.
    static bool Parse(std::string_view text, TJson& out, std::string& error);

private:
    void DumpTo(std::string& out) const;

    TType type_ = TType::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<TJson> array_;
    std::map<std::string, TJson> object_;
};
