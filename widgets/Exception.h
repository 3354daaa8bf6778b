#pragma once

#include <exception>
#include <string>

// The layer's exception: raised for errors the user should be told about.
class Exception : public std::exception {
 public:
  explicit Exception(std::string AMessage) : FMessage(std::move(AMessage)) {}
  const std::string& Message() const { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};
