#include "output.h"

#include <cstdio>
#include <iostream>

#include "platform.h"
#include "report.h"

namespace lumo::cli {

int Output::Print(const Report& report) const {
  PrintReport(report, options_.json);
  // A result that never reached its reader (a full disk, a closed pipe) is no success.
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "lumo: cannot write the result to standard output\n";
    return kExitUsageError;
  }
  return kExitOk;
}

int Output::Fail(const std::string& operation, const std::string& problem, int status) const {
  // The problem may quote the service (its error message): one line, nothing a terminal obeys.
  std::cerr << "lumo: " << operation << " failed: " << Printable(problem) << "\n";
  return status;
}

void Output::Note(const std::string& operation, const std::string& text) const {
  std::cerr << "lumo: " << operation << ": " << text << "\n";
}

void Output::Notice(const std::string& text) const {
  if (!options_.quiet) std::cerr << "lumo: " << text << "\n";
}

bool Output::ShowsProgress() const { return !options_.json && StandardErrorIsTerminal(); }

ProgressLine::~ProgressLine() {
  if (shown_ && !text_.empty()) {
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(text_.size()), "");
    std::fflush(stderr);
  }
}

void ProgressLine::Show(const std::string& text) {
  if (!shown_ || text == text_) return;
  // Blanks cover what a longer line before left behind.
  const int pad = text_.size() > text.size() ? static_cast<int>(text_.size() - text.size()) : 0;
  std::fprintf(stderr, "\r%s%*s", text.c_str(), pad, "");
  std::fflush(stderr);
  text_ = text;
}

}  // namespace lumo::cli
