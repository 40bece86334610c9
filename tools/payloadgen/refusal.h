// The one way the generator declines its input: a subject (a file, a payload
// name or a description field) and the reason, reported as
// "payloadgen: <subject>: <reason>".
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace payloadgen {

class Refusal : public std::runtime_error {
public:
    Refusal(std::string subject, std::string reason)
        : std::runtime_error(subject + ": " + reason),
          subject_(std::move(subject)), reason_(std::move(reason)) {}
    const std::string& subject() const { return subject_; }
    const std::string& reason() const { return reason_; }

private:
    std::string subject_;
    std::string reason_;
};

// Text from the description made safe for a terminal: control bytes appear
// as three-digit octal escapes, everything else as given.
std::string displayed(std::string_view text);

}  // namespace payloadgen
