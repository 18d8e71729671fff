// events.h -- events raised by windows and controls, bound to handler methods by name.
//
// Every window and control declares its events by name, each with a fixed signature
// (Change: void(); CellTextPaint: bool(Graphics &, int32_t row, int32_t column, int32_t x,
// int32_t y); ...). A handler is a method of the window, named after the control and the
// event (PopupPaperSize_Change), bound with Window::_InstallInstanceEventHandler. A handler
// may take, as its first parameter, a reference to the object that raised the event
// (`void PopupPaperSize_Change(rb::PopupMenu &me)`); the other parameters and the result must
// be the event's exactly.
//
// Promises:
// - Binding an event name the object does not declare, a handler whose signature is not the
//   event's, or a first parameter of a class the raising object is not, throws
//   std::invalid_argument naming the object, the event and the signature expected.
// - One handler per event and object; binding again replaces the handler.
// - An event with no handler does nothing; an event with a result then gives the default
//   (false for the paint and mouse events: the framework does its own drawing).
// - An exception thrown by a handler that the program's own code set off (setting ListIndex
//   raises Change) reaches that code. One thrown while the framework dispatches user input or
//   paints is handed to RuntimeUnhandledException and the event loop goes on.
#pragma once

#include "rb/object.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace rb {

namespace detail {

struct HandlerBase {
    virtual ~HandlerBase() = default;
};

// A bound handler for events of signature R(A...); `source` is the object raising it.
template <class Sig> struct Handler;
template <class R, class... A> struct Handler<R(A...)> : HandlerBase {
    explicit Handler(std::function<R(Object &, A...)> f) : call(std::move(f)) {}
    std::function<R(Object &, A...)> call;
};

// A handler's first parameter names the raising object when it is a reference to a
// framework object class.
template <class T> struct SourceParameter : std::false_type {};
template <class T>
requires std::is_base_of_v<Object, T>
struct SourceParameter<T &> : std::true_type {
    using type = T;
};

// What binding a method produces: the handler, the event signature it serves, and the class
// the raising object must be (Object when the method does not take it).
struct BoundHandler {
    std::unique_ptr<HandlerBase> handler;
    const std::type_info *signature;
    const std::type_info *sourceClass;
    bool (*sourceMatches)(Object &);
};

template <class T> bool IsA(Object &o) {
    if constexpr (std::is_same_v<T, Object>)
        return true;
    else
        return dynamic_cast<T *>(&o) != nullptr;
}

template <class W, class R, class... A> BoundHandler BindMethod(W *self, R (W::*method)(A...)) {
    auto call = [self, method](Object &, A... args) -> R {
        return (self->*method)(std::forward<A>(args)...);
    };
    return {std::make_unique<Handler<R(A...)>>(std::move(call)), &typeid(R(A...)), &typeid(Object),
            &IsA<Object>};
}

template <class W, class R, class First, class... A>
requires SourceParameter<First>::value BoundHandler BindMethod(W *self,
                                                               R (W::*method)(First, A...)) {
    using Source = typename SourceParameter<First>::type;
    auto call = [self, method](Object &source, A... args) -> R {
        return (self->*method)(dynamic_cast<Source &>(source), std::forward<A>(args)...);
    };
    return {std::make_unique<Handler<R(A...)>>(std::move(call)), &typeid(R(A...)), &typeid(Source),
            &IsA<Source>};
}

} // namespace detail

// The events one window or control declares, and their handlers.
class EventTable {
  public:
    EventTable() = default;
    EventTable(const EventTable &) = delete;
    EventTable &operator=(const EventTable &) = delete;

    // Declares the event `name` with signature Sig, e.g. Declare<bool(int32_t, int32_t)>.
    template <class Sig> void Declare(const std::string &name) { declared_[name] = &typeid(Sig); }
    bool Declares(const std::string &name) const { return declared_.count(name) != 0; }

    // Binds a handler made by detail::BindMethod; `owner` is the object raising the event,
    // `ownerName` how error messages call it.
    void Install(Object &owner, const std::string &ownerName, const std::string &event,
                 detail::BoundHandler bound);
    bool HasHandler(const std::string &event) const { return handlers_.count(event) != 0; }
    // Drops every handler (the window that bound them has closed).
    void Clear() { handlers_.clear(); }

    // Raises `event` with signature Sig on `source`. Returns the handler's result, or R() when
    // nothing handles the event.
    template <class Sig, class... Args>
    auto Raise(Object &source, const std::string &event, Args &&...args) const {
        using Result = typename std::function<Sig>::result_type;
        auto found = handlers_.find(event);
        if (found == handlers_.end())
            return Result();
        auto *handler = dynamic_cast<detail::Handler<Sig> *>(found->second.get());
        if (!handler)
            return Result();
        // The handler may unbind itself (the window closes): keep it until it returns.
        std::shared_ptr<detail::HandlerBase> keep = found->second;
        return handler->call(source, std::forward<Args>(args)...);
    }

  private:
    std::map<std::string, const std::type_info *> declared_;
    std::map<std::string, std::shared_ptr<detail::HandlerBase>> handlers_;
};

} // namespace rb
