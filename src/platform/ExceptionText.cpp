#include "platform/ExceptionText.h"

namespace ruvo {

std::string WhatOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "eroare necunoscuta";
}

}  // namespace ruvo
