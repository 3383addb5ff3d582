#pragma once
// A typed result for platform calls: the value on success, or why it failed
// and whether trying again may help.

#include <QString>
#include <optional>
#include <utility>

namespace ombrel {

enum class Failure {
    None,
    Temporary, // try again later: the service was busy or the window was moving
    Permanent, // will not work: no such display, no permission, unsupported
};

template <class T> class Outcome {
  public:
    static Outcome ok(T value) { return Outcome(std::move(value)); }
    static Outcome fail(Failure kind, QString message) { return Outcome(kind, std::move(message)); }

    bool isOk() const { return m_value.has_value(); }
    explicit operator bool() const { return isOk(); }
    // The value of a failed outcome is a mistake of the caller: it throws
    // std::bad_optional_access rather than reading nothing.
    const T& value() const& { return m_value.value(); }
    T& value() & { return m_value.value(); }
    // From a temporary outcome the value is moved out, so `for (x : call().value())` and
    // the like never refer into an outcome that is already gone.
    T value() && { return std::move(m_value).value(); }
    T take() { return std::move(m_value).value(); }
    Failure failure() const { return m_failure; }
    // A sentence describing the failure, shown after "Your computer said: ".
    const QString& message() const { return m_message; }

  private:
    explicit Outcome(T value) : m_value(std::move(value)) {}
    Outcome(Failure kind, QString message) : m_failure(kind), m_message(std::move(message)) {}
    std::optional<T> m_value;
    Failure m_failure = Failure::None;
    QString m_message;
};

} // namespace ombrel
