// A text in the shared vocabulary that cannot be read: "file: place: problem".
#pragma once

#include <stdexcept>
#include <string>

namespace codec {

class ReadError : public std::runtime_error {
 public:
  explicit ReadError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace codec
