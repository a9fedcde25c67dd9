// Runs every input given twice in one process of a two-client fuzz target:
// all of them in the order given, then all again in reverse order, so that
// the two runs of an input follow different inputs. Fails when the outputs
// of an input's two runs differ: the world kept between inputs then leaks
// state from one input into the next, and libFuzzer would see different
// behaviour for the same input.
//
//   build/fuzz/fuzz/requests_twice fuzz/corpus/requests/*
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "two_clients.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string transcriptOf(const std::string& input) {
  std::string out;
  fuzzworld::gTranscript = &out;
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  fuzzworld::gTranscript = nullptr;
  return out;
}

// The first line where two transcripts part.
std::string firstDifference(const std::string& a, const std::string& b) {
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  const size_t line = a.rfind('\n', at == 0 ? 0 : at - 1);
  const size_t from = line == std::string::npos ? 0 : line + 1;
  return "  first: " + a.substr(from, a.find('\n', from) - from) +
         "\n  again: " + b.substr(from, b.find('\n', from) - from);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> first;
  for (const std::string& input : inputs) first.push_back(transcriptOf(input));
  size_t differ = 0;
  for (size_t i = inputs.size(); i-- > 0;) {
    const std::string again = transcriptOf(inputs[i]);
    if (again == first[i]) continue;
    if (differ++ < 5) {
      std::printf("%s\n%s\n", argv[i + 1], firstDifference(first[i], again).c_str());
    }
  }
  std::printf("%zu inputs, %zu with different outputs on their second run\n", inputs.size(),
              differ);
  return differ == 0 ? 0 : 1;
}
