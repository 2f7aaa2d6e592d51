// Fuzz target of the reporter's templates together with a message file:
// the input's first three lines are the error, warning and message
// templates, the fourth the context's file name, the rest a message file
// loaded over the built-in catalogue. Reports of each class are then laid
// out with the templates. Every line handed to the output must end with a
// line feed within the line limit, and a template without '%' must come
// out exactly as written.
#include "common/alert.h"
#include "common/alert_numbers.h"
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kLineLimit = 8191;

std::vector<std::string> lines_out;

int record(const char *line) {
    lines_out.emplace_back(line);
    return 1;
}

std::string cut_at_zero(const std::string &text) {
    return text.substr(0, std::strlen(text.c_str()));
}

// Every line printed since the last call obeys the limits; with a template
// that has nothing to replace, a printed line is the template itself.
void check_lines(const std::string &template_text) {
    for (const std::string &line : lines_out) {
        fuzz::check(!line.empty() && line.back() == '\n' && line.size() <= kLineLimit + 1);
        if (template_text.find('%') == std::string::npos && template_text.size() < kLineLimit)
            fuzz::check(line == template_text + "\n");
    }
    lines_out.clear();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const auto &dir = fuzz::scratch_dir("alert-template");
    (void)dir;
    std::vector<std::string> lines = fuzz::pieces(fuzz::text_of(data, size), '\n');
    lines.resize(std::max<size_t>(lines.size(), 4));
    std::string error = cut_at_zero(lines[0]), warning = cut_at_zero(lines[1]);
    std::string message = cut_at_zero(lines[2]), file = cut_at_zero(lines[3]);
    std::string catalogue;
    for (size_t n = 4; n < lines.size(); ++n)
        catalogue += lines[n] + "\n";
    FILE *f = std::fopen("fuzz.msgs", "wb");
    fuzz::check(f != nullptr);
    std::fwrite(catalogue.data(), 1, catalogue.size(), f);
    std::fclose(f);

    alert_reset_for_tests();
    alert_set_output(record);
    open_edf("fuzz.msgs");
    lines_out.clear();
    alert_force_formats(error.c_str(), warning.c_str(), message.c_str());
    alert_use_formats(1);
    uint32_t line = 7;
    const char *text = "int main(void) { return 0; }";
    const char *current = text + 4;
    alert_set_context(file.c_str(), &line, &text, &current);
    alert_set_level(-9);
    alert_msg(MSG_EXIT_STATUS, 2);
    alert_msg_noline(MSG_ARGUMENT_TOO_LONG);
    check_lines(error);
    alert_msg(MSG_COMMAND_FILE_RECURSION, "loop.cmd");
    alert_msg_noloc(MSG_ASSERT_WARNING, "p != NULL", "a.c", 12);
    check_lines(warning);
    alert_msg(MSG_TOO_MANY_ERRORS, 20u);
    check_lines(message);
    alert_set_context(nullptr, nullptr, nullptr, nullptr);
    return 0;
}
