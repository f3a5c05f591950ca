#include <ko/koKeyframeController.h>

#include <ko/koSpatial.h>

#include <algorithm>

namespace ko {

int koKeyframeController::GetKeyQuantity() const {
  if (TranslationTimes == nullptr || TranslationData == nullptr)
    return 0;
  return std::min(TranslationTimes->GetQuantity(), TranslationData->GetQuantity());
}

Wm4::Vector3<float> koKeyframeController::GetTranslation(double time) const {
  const int keys = GetKeyQuantity();
  if (keys == 0)
    return Wm4::Vector3<float>(0.0f, 0.0f, 0.0f);
  const float* times = TranslationTimes->GetData();
  const Wm4::Vector3<float>* data = TranslationData->GetData();
  if (!(time > times[0]))  // a time that is not a number, too
    return data[0];
  if (time >= times[keys - 1])
    return data[keys - 1];
  // The first key after the time; it exists and is not key 0 because of the two checks above.
  const int next = static_cast<int>(
      std::upper_bound(times, times + keys, time,
                       [](double t, float key) { return t < static_cast<double>(key); }) -
      times);
  const int previous = next - 1;
  // times[previous] <= time < times[next], so the span is positive.
  const double u = (time - times[previous]) / (static_cast<double>(times[next]) - times[previous]);
  const Wm4::Vector3<float>& a = data[previous];
  const Wm4::Vector3<float>& b = data[next];
  return a + (b - a) * static_cast<float>(u);
}

bool koKeyframeController::Update(double time) {
  koSpatial* object = GetObject();
  if (object == nullptr || GetKeyQuantity() == 0)
    return false;
  object->Local.SetTranslate(mRestTranslation + object->parentSpaceOffset(GetTranslation(time)));
  return true;
}

void koKeyframeController::onAttached() { mRestTranslation = GetObject()->Local.GetTranslate(); }

} // namespace ko
