// What the tests of the request lifecycle observe inside the library.
#ifndef LUMOAPI_REQUEST_BASE_TESTING_H_
#define LUMOAPI_REQUEST_BASE_TESTING_H_

namespace lumoapi {

// How many requests so far reached ~RequestBase with their HTTP request still alive, that is,
// whose class did not call StopHttpRequest() first in its own destructor. Any thread.
int LateHttpStopsForTesting();

}  // namespace lumoapi

#endif  // LUMOAPI_REQUEST_BASE_TESTING_H_
