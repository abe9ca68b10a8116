// Every request class of the library, one row each, with the exact query it sends. The query
// table and the lifetime tests both run over these rows, and a check in the test suite fails when
// a class of include/lumoapi has no row here.
#ifndef LUMO_TESTS_SUPPORT_EVERY_REQUEST_H_
#define LUMO_TESTS_SUPPORT_EVERY_REQUEST_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lumoapi/request_base.h"
#include "support/page_answering.h"

namespace lumo::testing {

struct RequestRow {
  RequestRow(const char* name, std::function<std::unique_ptr<lumoapi::RequestBase>()> make,
             std::string query, bool encrypted = false, std::wstring session_token = L"")
      : name(name),
        make(std::move(make)),
        query(std::move(query)),
        encrypted(encrypted),
        session_token(std::move(session_token)) {}

  const char* name;
  std::function<std::unique_ptr<lumoapi::RequestBase>()> make;
  // The query after "?". "{id}" stands for the machine id. The public and scene radio requests
  // read the account token from the settings: these rows expect it to be "acct". Empty for a
  // class whose query changes from call to call; its own tests check it.
  std::string query;
  // The encrypted form: `query` is then the method and the decrypted inner text.
  bool encrypted;
  // The session token sent as the account cookie; empty: no cookie.
  std::wstring session_token;
};

// Some classes appear in more than one row (a song link by id and by title).
const std::vector<RequestRow>& EveryRequestRow();

// Every task class (an object that runs requests of its own), one row each, seen through what
// every task offers. The lifetime tests and the fault matrix run over these rows.
class Task {
 public:
  virtual ~Task() = default;
  virtual void BeginRequest() = 0;
  // Its _GetSucceeded (where it has one, else its current request's `succeeded`) and its current
  // request's `status`; false and 0 before the first request.
  virtual bool succeeded() const = 0;
  virtual int32_t status() const = 0;
  virtual lumoapi::CallFailure Failure() const = 0;
  // How many records it has gathered; 0 for a task of one request.
  virtual size_t gathered() const = 0;
  // Whether its end signal is `task_completed`, which carries a status.
  virtual bool signals_status() const = 0;

  // Connected to its end signal (and to its `completed`, which must then stay quiet). A member
  // of the base, so that it outlives the task, whose destructor may wait out an emission.
  EndProbe end;
};
struct TaskRow {
  const char* name;
  // Makes the task for the session token and, where it takes one, the list id.
  std::function<std::unique_ptr<Task>(const std::wstring& token, const std::wstring& list_id)> make;
  const char* page_row;  // the row of EveryRequestRow() of the class of its requests
  const char* method;    // the service method of its requests
  size_t page_size;      // records per page; 0 for a task of one request
};
// Each task's first BeginRequest starts one request.
const std::vector<TaskRow>& EveryTaskRow();

// The account token the rows above expect in the settings.
inline constexpr wchar_t kAccountToken[] = L"acct";

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_EVERY_REQUEST_H_
