#pragma once
// JSON documents as plain values: read and written by Qt's JSON parser and
// writer, so no program code parses text by hand.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TJsonValue {
  enum TKind { jkNull, jkBool, jkNumber, jkString, jkArray, jkObject };

  TJsonValue() = default;
  static TJsonValue Bool(bool AValue);
  static TJsonValue Number(double AValue);
  static TJsonValue String(std::string AValue);
  static TJsonValue Array();
  static TJsonValue Object();

  TKind Kind = jkNull;
  bool BoolValue = false;
  double NumberValue = 0.0;
  std::string StringValue;                                  // UTF-8
  std::vector<TJsonValue> Items;                            // an array's
  std::vector<std::pair<std::string, TJsonValue>> Members;  // an object's

  // An object's member, or null when there is none.
  const TJsonValue* Find(const std::string& AKey) const;
  // Adds a member to an object / an item to an array; returns it.
  TJsonValue& Add(std::string AKey, TJsonValue AValue);
  TJsonValue& Append(TJsonValue AValue);
};

// Why a text is not JSON, and where (1-based line and column).
struct TJsonError {
  std::string Reason;
  int Line = 0;
  int Column = 0;
};

// Reads a UTF-8 JSON text whose top level is an object or an array. Text
// that is not valid UTF-8 or not JSON, or is nested more than AMaxDepth
// levels deep, gives false and AError.
bool ParseJson(std::string_view AText, TJsonValue& AValue, TJsonError& AError, int AMaxDepth = 16);
// Writes AValue, an object or an array, as UTF-8 JSON, members in the order
// given, one item of the top level a line. A number is written as the
// shortest text that reads back as the same double.
std::string WriteJson(const TJsonValue& AValue);
