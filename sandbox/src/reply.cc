#include "reply.h"

namespace lumo::sandbox {

HttpReply JsonReply(const Json& answer, int status) {
  HttpReply reply;
  reply.status = status;
  reply.body = Serialized(answer);
  return reply;
}

Json RefusalAnswer(int error_code, const std::string& message) {
  Json answer = Answer(error_code);
  answer[U("error_msg")] = Text(message);
  return answer;
}

HttpReply RefusalReply(int error_code, const std::string& message, int status) {
  return JsonReply(RefusalAnswer(error_code, message), status);
}

HttpReply RefusalReply(int error_code, const std::string& message) {
  return RefusalReply(error_code, message, RefusalStatus(error_code));
}

HttpReply RefusalReply(const Refusal& refusal) {
  return RefusalReply(refusal.code(), refusal.what());
}

}  // namespace lumo::sandbox
