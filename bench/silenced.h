#pragma once

#include <iostream>
#include <sstream>

// Quiets a search's own printing (rounds, progress, report) while a bench times it.
class Silenced {
 public:
  Silenced() : out_(std::cout.rdbuf(sink_.rdbuf())), err_(std::cerr.rdbuf(sink_.rdbuf())) {}
  ~Silenced() {
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }

 private:
  std::ostringstream sink_;
  std::streambuf* out_;
  std::streambuf* err_;
};
