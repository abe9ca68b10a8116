// Deleting an object that another thread may still reach through its owner's pointer.
#ifndef LUMOAPI_DELETE_IN_PLACE_H_
#define LUMOAPI_DELETE_IN_PLACE_H_

#include <memory>

namespace lumoapi::internal {

// Deletes what `owner` holds and only then leaves `owner` empty.
//
// Requests, HTTP requests and tasks wait in their destructors for an answer that is being handled
// on the network thread, and that handling reads its object through the owner's pointer (a task
// reads its page request's `status`, a request its HTTP request's body). `unique_ptr::reset`
// empties the pointer before it deletes, so the waiting destructor would let that handling find
// it empty; here the pointer keeps its value until the destructor has waited and returned.
//
// This is the one way the library deletes a request, task or HTTP request that may be running. It
// is also safe inside that handling itself: those destructors do not wait for their own thread.
template <class T>
void DeleteInPlace(std::unique_ptr<T>& owner) {
  if (!owner) return;
  delete owner.get();
  (void)owner.release();
}

}  // namespace lumoapi::internal

#endif  // LUMOAPI_DELETE_IN_PLACE_H_
