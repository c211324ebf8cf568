#pragma once
// An error as the system's components hand them to their callers: a domain, a
// code within it and a description a person can read (the phone's error
// objects). Failures inside the layers travel as fd::Expected; this is what
// the system's own interfaces answer with.
#include <string>

namespace fd {

struct Error {
  std::string domain;
  int code = 0;
  std::string localizedDescription;
  // Why, in more detail, when known (the underlying failure's message).
  std::string reason;
};

}  // namespace fd
