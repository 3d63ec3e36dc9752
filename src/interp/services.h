// Services that need the platform's event loop (sockets, local channels, child
// processes, media players) are reached through interfaces that the core declares and
// a small Qt Core/Network library implements once for both hosts (src/services).
//
// A family declares its interface (a class with virtual operations, Qt-free), the
// library registers a factory for it with a static TServiceProvider, and the family
// asks FindService<I>(st) when it needs it: the instance is created on first use and
// owned by the state (released with it, before its words). Without an
// implementation linked in (the core's unit tests) FindService gives nullptr, and the
// family raises an error saying the command cannot work here. Tests may install a
// fake with ProvideService before the first use.
#pragma once
#include <functional>
#include <memory>
#include <typeindex>

class TPoruBase;

namespace services_detail {
using Factory = std::function<std::shared_ptr<void>(TPoruBase&)>;
void Provide(std::type_index type, Factory factory);
// The factory registered for a type now (empty when none): a factory that loads the
// module providing the real one calls it after the load.
Factory FactoryOf(std::type_index type);
void* Find(TPoruBase& st, std::type_index type);
}   // namespace services_detail

// Registers (or replaces) the factory of interface I.
template <class I> void ProvideService(std::function<std::unique_ptr<I>(TPoruBase&)> make)
{
    services_detail::Provide(std::type_index(typeid(I)), [make](TPoruBase& st) -> std::shared_ptr<void> {
        std::unique_ptr<I> p = make(st);
        return std::shared_ptr<I>(std::move(p));
    });
}

// The state's instance of I, created on first use; nullptr when none is provided.
template <class I> I* FindService(TPoruBase& st)
{
    return static_cast<I*>(services_detail::Find(st, std::type_index(typeid(I))));
}

// Static registration: `TServiceProvider<ITcpService> gTcp([](TPoruBase& st) { ... });`
template <class I> struct TServiceProvider {
    explicit TServiceProvider(std::function<std::unique_ptr<I>(TPoruBase&)> make)
    {
        ProvideService<I>(std::move(make));
    }
};
