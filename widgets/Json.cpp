#include "widgets/Json.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <charconv>
#include <cmath>
#include <cstdio>

TJsonValue TJsonValue::Bool(bool AValue) {
  TJsonValue value;
  value.Kind = jkBool;
  value.BoolValue = AValue;
  return value;
}

TJsonValue TJsonValue::Number(double AValue) {
  TJsonValue value;
  value.Kind = jkNumber;
  value.NumberValue = AValue;
  return value;
}

TJsonValue TJsonValue::String(std::string AValue) {
  TJsonValue value;
  value.Kind = jkString;
  value.StringValue = std::move(AValue);
  return value;
}

TJsonValue TJsonValue::Array() {
  TJsonValue value;
  value.Kind = jkArray;
  return value;
}

TJsonValue TJsonValue::Object() {
  TJsonValue value;
  value.Kind = jkObject;
  return value;
}

const TJsonValue* TJsonValue::Find(const std::string& AKey) const {
  for (const auto& member : Members)
    if (member.first == AKey) return &member.second;
  return nullptr;
}

TJsonValue& TJsonValue::Add(std::string AKey, TJsonValue AValue) {
  Members.emplace_back(std::move(AKey), std::move(AValue));
  return Members.back().second;
}

TJsonValue& TJsonValue::Append(TJsonValue AValue) {
  Items.push_back(std::move(AValue));
  return Items.back();
}

namespace {

// Line and column (counted in characters) of byte AOffset of AText.
void Locate(std::string_view AText, size_t AOffset, TJsonError& AError) {
  AError.Line = 1;
  AError.Column = 1;
  for (size_t i = 0; i < AOffset && i < AText.size(); ++i) {
    const auto byte = static_cast<unsigned char>(AText[i]);
    if (byte == '\n') {
      ++AError.Line;
      AError.Column = 1;
    } else if ((byte & 0xC0) != 0x80) {
      ++AError.Column;
    }
  }
}

// The offset of the first byte that breaks UTF-8, or npos.
size_t InvalidUtf8(std::string_view AText) {
  size_t i = 0;
  while (i < AText.size()) {
    const auto byte = static_cast<unsigned char>(AText[i]);
    size_t length = 0;
    unsigned min = 0, code = 0;
    if (byte < 0x80) {
      ++i;
      continue;
    } else if ((byte & 0xE0) == 0xC0) {
      length = 2, min = 0x80, code = byte & 0x1F;
    } else if ((byte & 0xF0) == 0xE0) {
      length = 3, min = 0x800, code = byte & 0x0F;
    } else if ((byte & 0xF8) == 0xF0) {
      length = 4, min = 0x10000, code = byte & 0x07;
    } else {
      return i;
    }
    if (i + length > AText.size()) return i;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(AText[i + k]);
      if ((next & 0xC0) != 0x80) return i;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and what lies past Unicode are not UTF-8.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return i;
    i += length;
  }
  return std::string_view::npos;
}

bool FromQt(const QJsonValue& AQt, TJsonValue& AValue, int ADepth, int AMaxDepth) {
  switch (AQt.type()) {
    case QJsonValue::Bool:
      AValue = TJsonValue::Bool(AQt.toBool());
      return true;
    case QJsonValue::Double:
      AValue = TJsonValue::Number(AQt.toDouble());
      return true;
    case QJsonValue::String:
      AValue = TJsonValue::String(AQt.toString().toStdString());
      return true;
    case QJsonValue::Array: {
      if (ADepth >= AMaxDepth) return false;
      AValue = TJsonValue::Array();
      const QJsonArray array = AQt.toArray();
      AValue.Items.reserve(static_cast<size_t>(array.size()));
      for (const QJsonValue& item : array)
        if (!FromQt(item, AValue.Append({}), ADepth + 1, AMaxDepth)) return false;
      return true;
    }
    case QJsonValue::Object: {
      if (ADepth >= AMaxDepth) return false;
      AValue = TJsonValue::Object();
      const QJsonObject object = AQt.toObject();
      for (auto it = object.begin(); it != object.end(); ++it)
        if (!FromQt(it.value(), AValue.Add(it.key().toStdString(), {}), ADepth + 1, AMaxDepth))
          return false;
      return true;
    }
    default:
      AValue = TJsonValue();
      return true;
  }
}

// --- Writing ------------------------------------------------------------------
// Written here rather than through Qt's writer, which is several times
// slower and writes members sorted rather than in the order given; what is
// written is read back by Qt's parser (the tests and the fuzzer make sure).

void WriteString(const std::string& AText, std::string& AOut) {
  AOut += '"';
  for (const char c : AText) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        AOut += "\\\"";
        break;
      case '\\':
        AOut += "\\\\";
        break;
      case '\n':
        AOut += "\\n";
        break;
      case '\t':
        AOut += "\\t";
        break;
      case '\r':
        AOut += "\\r";
        break;
      default:
        if (byte < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", byte);
          AOut += escape;
        } else {
          AOut += c;
        }
    }
  }
  AOut += '"';
}

void WriteNumber(double ANumber, std::string& AOut) {
  // JSON has no infinities or NaN: they are written as null.
  if (!std::isfinite(ANumber)) {
    AOut += "null";
    return;
  }
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, ANumber);
  AOut.append(text, result.ptr);
}

bool Nested(const TJsonValue& AValue) {
  for (const TJsonValue& item : AValue.Items)
    if (item.Kind == TJsonValue::jkArray || item.Kind == TJsonValue::jkObject) return true;
  for (const auto& member : AValue.Members)
    if (member.second.Kind == TJsonValue::jkArray || member.second.Kind == TJsonValue::jkObject)
      return true;
  return false;
}

// The top level and lists of lists or objects one item a line; the rest on
// one line each, so a pane reads as one line.
void WriteValue(const TJsonValue& AValue, int ALevel, std::string& AOut) {
  switch (AValue.Kind) {
    case TJsonValue::jkBool:
      AOut += AValue.BoolValue ? "true" : "false";
      return;
    case TJsonValue::jkNumber:
      WriteNumber(AValue.NumberValue, AOut);
      return;
    case TJsonValue::jkString:
      WriteString(AValue.StringValue, AOut);
      return;
    case TJsonValue::jkArray:
    case TJsonValue::jkObject:
      break;
    default:
      AOut += "null";
      return;
  }
  const bool object = AValue.Kind == TJsonValue::jkObject;
  const size_t count = object ? AValue.Members.size() : AValue.Items.size();
  const bool lines = count > 0 && (ALevel == 0 || (ALevel < 2 && Nested(AValue)));
  const std::string indent(static_cast<size_t>(2 * (ALevel + 1)), ' ');
  AOut += object ? '{' : '[';
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) AOut += ',';
    if (lines) {
      AOut += '\n';
      AOut += indent;
    } else if (i > 0) {
      AOut += ' ';
    }
    if (object) {
      WriteString(AValue.Members[i].first, AOut);
      AOut += ": ";
      WriteValue(AValue.Members[i].second, ALevel + 1, AOut);
    } else {
      WriteValue(AValue.Items[i], ALevel + 1, AOut);
    }
  }
  if (lines) {
    AOut += '\n';
    AOut.append(static_cast<size_t>(2 * ALevel), ' ');
  }
  AOut += object ? '}' : ']';
}

}  // namespace

bool ParseJson(std::string_view AText, TJsonValue& AValue, TJsonError& AError, int AMaxDepth) {
  AError = TJsonError();
  if (const size_t bad = InvalidUtf8(AText); bad != std::string_view::npos) {
    AError.Reason = "the text is not valid UTF-8";
    Locate(AText, bad, AError);
    return false;
  }
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray::fromRawData(AText.data(), static_cast<qsizetype>(AText.size())), &error);
  if (error.error != QJsonParseError::NoError) {
    AError.Reason = error.errorString().toStdString();
    // For these Qt has already read the character that is wrong, and tells
    // where the one after it lies.
    int at = std::max(0, error.offset);
    switch (error.error) {
      case QJsonParseError::UnterminatedObject:
      case QJsonParseError::MissingNameSeparator:
      case QJsonParseError::UnterminatedArray:
      case QJsonParseError::MissingValueSeparator:
      case QJsonParseError::IllegalValue:
      case QJsonParseError::MissingObject:
        if (at > 0) --at;
        break;
      default:
        break;
    }
    Locate(AText, static_cast<size_t>(at), AError);
    return false;
  }
  const QJsonValue top =
      document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
  if (!FromQt(top, AValue, 0, AMaxDepth)) {
    AError.Reason = "values are nested more than " + std::to_string(AMaxDepth) + " levels deep";
    return false;
  }
  return true;
}

std::string WriteJson(const TJsonValue& AValue) {
  std::string text;
  WriteValue(AValue, 0, text);
  text += '\n';
  return text;
}
