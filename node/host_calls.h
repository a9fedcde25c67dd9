// The answers a request collects while the plug-in runs it on this thread.
#pragma once

#include <vector>

#include "records.h"

namespace node {

// True when a request on this thread waits for answers; the answer is kept.
bool answering(const codec::Result& r);

class Answers {
 public:
  Answers();
  ~Answers();
  Answers(const Answers&) = delete;
  Answers& operator=(const Answers&) = delete;
  const std::vector<codec::Result>& results() const { return results_; }

 private:
  friend bool answering(const codec::Result& r);
  std::vector<codec::Result> results_;
  Answers* outer_;
};

}  // namespace node
