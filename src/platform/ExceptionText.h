#pragma once

#include <exception>
#include <string>

namespace ruvo {

// The text an error raised inside an operation is shown with: its what(), or a word that
// says nothing more is known.
std::string WhatOf(const std::exception_ptr& error);

}  // namespace ruvo
