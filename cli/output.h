// Where the tool's words go: results on standard output (aligned text or one JSON object),
// error lines and notices on standard error, and the progress line of multi-page tasks.
#ifndef LUMO_CLI_OUTPUT_H_
#define LUMO_CLI_OUTPUT_H_

#include <string>

#include "options.h"

namespace lumo::cli {

class Report;

// Thread-compatible; the tool uses it on the UI thread.
class Output {
 public:
  explicit Output(const GlobalOptions& options) : options_(options) {}

  bool json() const { return options_.json; }

  // Prints the report on standard output and returns kExitOk.
  int Print(const Report& report) const;
  // Prints "lumo: <operation> failed: <problem>" on standard error and returns `status`.
  int Fail(const std::string& operation, const std::string& problem, int status) const;
  // "lumo: <operation>: <text>" on standard error, even with --quiet: what goes with an error
  // line.
  void Note(const std::string& operation, const std::string& text) const;
  // "lumo: <text>" on standard error, unless --quiet.
  void Notice(const std::string& text) const;

  // Whether a progress line may be drawn: standard error is a terminal and the output is text.
  bool ShowsProgress() const;

 private:
  GlobalOptions options_;
};

// A line on standard error that is redrawn in place ("\r") while a task runs, and cleared when
// it goes. Draws nothing when the output does not show progress, or when not `wanted`.
// Thread-compatible.
class ProgressLine {
 public:
  explicit ProgressLine(const Output& output, bool wanted = true)
      : shown_(wanted && output.ShowsProgress()) {}
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Draws `text` unless it is what the line already shows.
  void Show(const std::string& text);

 private:
  bool shown_;
  std::string text_;
};

}  // namespace lumo::cli

#endif  // LUMO_CLI_OUTPUT_H_
