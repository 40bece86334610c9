// The one way the generator declines its input: the file it read (when the
// subject belongs to one), a subject (a description field, a payload entry,
// an output path or option) and the reason, reported as
// "payloadgen: <file>: <subject>: <reason>".
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace payloadgen {

class Refusal : public std::runtime_error {
public:
    Refusal(std::string subject, std::string reason)
        : std::runtime_error("refusal"), subject_(std::move(subject)), reason_(std::move(reason)),
          message_(message()) {}
    const std::string& subject() const { return subject_; }
    const std::string& reason() const { return reason_; }
    // The file the subject is part of (product.json for its fields and
    // entries); "" when the subject stands alone.
    const std::string& file() const { return file_; }

    // This refusal, placed in `file` unless it already names one.
    Refusal in(const std::string& file) const;

    // "<file>: <subject>: <reason>", leaving out the parts that are empty.
    std::string message() const;
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string subject_;
    std::string reason_;
    std::string file_;
    std::string message_;  // message(), kept for what()
};

// Every problem found in one pass, so that the maker sees them all at once
// instead of one per run. Never empty.
class Refusals : public std::runtime_error {
public:
    explicit Refusals(std::vector<Refusal> all);
    const std::vector<Refusal>& all() const { return all_; }

private:
    std::vector<Refusal> all_;
};

// Throws the one refusal, or Refusals for several; does nothing for none.
void throwIfAny(const std::vector<Refusal>& found);

// Text from the description made safe for a terminal: control bytes appear
// as three-digit octal escapes, everything else as given.
std::string displayed(std::string_view text);

}  // namespace payloadgen
