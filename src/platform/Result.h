// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Clipwren+ developers

#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace clipwren {

// Why something could not be done: a reason the caller may log, and for the layers that word
// it for the user, a code of the layer that failed (an error number, an enum's value); 0 when
// the reason says all.
struct Failure {
    QString reason;
    int code = 0;
};

// What a call that can fail for a reason returns: its value, or the reason there is none.
// error() is empty on success, so that it can be shown without asking first.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    T& value() { return std::get<0>(m_state); }
    const T& value() const { return std::get<0>(m_state); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    QString error() const { return failure().reason; }
    Failure failure() const {
        const Failure* failure = std::get_if<1>(&m_state);
        return failure ? *failure : Failure();
    }

private:
    std::variant<T, Failure> m_state;
};

// Done, or the reason it was not.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_error(std::move(failure)) {}

    explicit operator bool() const { return !m_error; }
    QString error() const { return failure().reason; }
    Failure failure() const { return m_error.value_or(Failure()); }

private:
    std::optional<Failure> m_error;
};

}  // namespace clipwren
