#pragma once

#include <utility>
#include <variant>

namespace ampwell::platform {

// The error side of a Result, so that a Result whose value and error have the same type is still
// unambiguous: `return Failure{code};`.
template <typename Error>
struct Failure {
    Error error;
};
template <typename Error>
Failure(Error) -> Failure<Error>;

// What an operation that can fail hands back: its value, or why there is none. Failures that are
// part of normal operation (a device gone, a file unreadable, a value of the wrong kind) travel
// this way; exceptions are kept for start-up configuration, which a program cannot run without.
template <typename Value, typename Error>
class [[nodiscard]] Result {
public:
    Result(Value value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <typename From>
    Result(Failure<From> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    Value& value() & { return std::get<0>(state_); }
    const Value& value() const& { return std::get<0>(state_); }
    Value&& value() && { return std::get<0>(std::move(state_)); }
    Value* operator->() { return &value(); }
    const Value* operator->() const { return &value(); }
    Value& operator*() & { return value(); }
    const Value& operator*() const& { return value(); }

    // Only when !ok().
    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<Value, Error> state_;
};

}  // namespace ampwell::platform
