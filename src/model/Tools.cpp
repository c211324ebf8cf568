#include "model/Tools.h"

#include <algorithm>
#include <cstdlib>

#include "platform/foundation/TimestampId.h"
#include "platform/foundation/Unicode.h"

std::string Tools::dateString() { return fd::timestampId(); }

int Tools::randInteger() { return std::rand(); }

int Tools::randValueBegin(int b, int e) {
  if (b == e) return b;
  long span = std::labs(static_cast<long>(e) - b);
  return static_cast<int>(b + std::rand() % span);
}

namespace {

constexpr std::string_view kCopy = "copy";

// The decimal number at the start of text (0 when it does not start with
// digits), saturating instead of overflowing on absurdly long digit runs.
long long leadingNumber(const std::string& text) {
  long long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (n > 100000000000LL) break;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

std::string Tools::uniqueNameWithin(const std::string& name, const std::vector<std::string>& taken,
                                    std::size_t maxBytes) {
  std::string base = name;
  fd::cutUtf8ToLength(base, maxBytes);
  std::string unique = uniqueName(base, taken);
  // A free name grows only by what follows its first "copy": the part before
  // it gives way, and the copy's number is looked for again.
  while (unique.size() > maxBytes) {
    const std::size_t at = unique.find(kCopy);
    if (at == std::string::npos || at == 0) break;
    std::string head = unique.substr(0, at);
    const std::size_t over = unique.size() - maxBytes;
    fd::cutUtf8ToLength(head, head.size() > over ? head.size() - over : 0);
    unique = uniqueName(head + unique.substr(at), taken);
  }
  return unique;
}

std::string Tools::uniqueName(const std::string& name, const std::vector<std::string>& taken) {
  std::string current = name;
  long long counter = 1;
  bool changed = true;
  while (changed) {
    changed = false;
    for (const std::string& t : taken) {
      if (t != current) continue;
      std::size_t at = current.find(kCopy);
      if (at != std::string::npos) {
        std::size_t tail = at + kCopy.size();
        long long next = std::max(leadingNumber(current.substr(tail)) + 1, counter);
        counter = next;
        current = current.substr(0, tail) + std::to_string(next);
      } else {
        current += "copy1";
      }
      changed = true;
    }
  }
  return current;
}
