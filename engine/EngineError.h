#pragma once

#include <stdexcept>
#include <string>

namespace vimora {

// The engine reports every failure of a calculation with one exception type whose message is
// the exact French text the user reads (UTF-8).
class EngineError : public std::runtime_error {
public:
    explicit EngineError(const std::string& message)
        : std::runtime_error(message)
        , m_message(message) {}

    /// The whole message: a field it quotes may hold a NUL byte, where what() would end.
    const std::string& message() const { return m_message; }

private:
    std::string m_message;
};

inline constexpr const char* kDivisionByZeroMessage = "Division par zéro en virgule flottante";
inline constexpr const char* kInvalidOperationMessage = "Opération en virgule flottante incorrecte";
inline constexpr const char* kOverflowMessage = "Débordement en virgule flottante";
inline constexpr const char* kNegativeAgeMessage = "L'âge ne peut pas être négatif";

/// The text of an error report: a full stop is appended when the message is not empty and its
/// last character sorts after "." (so a letter gets one; ".", "!", ")" and a space do not).
std::string withFinalFullStop(std::string message);

} // namespace vimora
