#include "engine/qt/qt_bridge_object.h"

#include <QJsonObject>
#include <QJsonValue>

#include "engine/qt/qt_browser.h"
#include "engine/thread_check.h"

namespace engine {
namespace {

// Strings as Qt writes them in UTF-8; Qt's parser bounds the depth.
rapidjson::Value ToWire(const QJsonValue& value,
                        rapidjson::Document::AllocatorType& allocator) {
  switch (value.type()) {
    case QJsonValue::Bool:
      return rapidjson::Value(value.toBool());
    case QJsonValue::Double:
      return rapidjson::Value(value.toDouble());
    case QJsonValue::String: {
      const std::string text = value.toString().toStdString();
      return rapidjson::Value(text.data(), static_cast<rapidjson::SizeType>(text.size()),
                              allocator);
    }
    case QJsonValue::Array: {
      rapidjson::Value array(rapidjson::kArrayType);
      const QJsonArray members = value.toArray();
      array.Reserve(static_cast<rapidjson::SizeType>(members.size()), allocator);
      for (const QJsonValue member : members)
        array.PushBack(ToWire(member, allocator), allocator);
      return array;
    }
    case QJsonValue::Object: {
      rapidjson::Value object(rapidjson::kObjectType);
      const QJsonObject members = value.toObject();
      for (auto it = members.begin(); it != members.end(); ++it) {
        const std::string name = it.key().toStdString();
        object.AddMember(
            rapidjson::Value(name.data(), static_cast<rapidjson::SizeType>(name.size()),
                             allocator),
            ToWire(it.value(), allocator), allocator);
      }
      return object;
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
      break;
  }
  return rapidjson::Value();
}

QJsonValue FromWire(const rapidjson::Value& value) {
  if (value.IsString())
    return QString::fromUtf8(value.GetString(), value.GetStringLength());
  if (value.IsBool())
    return value.GetBool();
  if (value.IsInt())
    return value.GetInt();
  if (value.IsNumber())
    return value.GetDouble();
  if (value.IsArray()) {
    QJsonArray array;
    for (const rapidjson::Value& member : value.GetArray())
      array.append(FromWire(member));
    return array;
  }
  return QJsonValue();
}

}  // namespace

QJsonArray BridgeObject::post(const QJsonArray& batch) {
  LUMIO_ASSERT_UI_THREAD();
  auto browser = browser_.lock();
  if (!browser)
    return {};
  rapidjson::Document wire;
  std::vector<BridgeEntry> entries =
      DecodeBridgeBatch(ToWire(QJsonValue(batch), wire.GetAllocator()));
  const std::vector<BridgeAnswer> answers = browser->OnBatch(std::move(entries));
  return FromWire(EncodeBridgeAnswers(answers)).toArray();
}

void BridgeObject::Send(const std::vector<BridgeAnswer>& answers) {
  emit responses(FromWire(EncodeBridgeAnswers(answers)).toArray());
}

}  // namespace engine
