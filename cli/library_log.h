// The library's log kept off the terminal: it writes through glog (two lines) and the host log
// (base::logging), and both would reach standard error on their own. The tool sets them up so
// that every line goes to the host log's sink, which a Session routes to its own record (and to
// --verbose); without a Session the lines are dropped.
#ifndef LUMO_CLI_LIBRARY_LOG_H_
#define LUMO_CLI_LIBRARY_LOG_H_

namespace lumo::cli {

// Initialises glog for the tool: no log files, nothing on standard error, each line handed to
// the host log; and replaces the host log's default sink (standard error) with one that drops.
// Call once, before the first request. UI thread.
void QuietLibraryLog();

}  // namespace lumo::cli

#endif  // LUMO_CLI_LIBRARY_LOG_H_
