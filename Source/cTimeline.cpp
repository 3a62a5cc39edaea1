#include "cTimeline.h"

#include <algorithm>
#include <cmath>

namespace Vorel {

namespace {

// Key times this close count as one: a float tick's own rounding.
constexpr float kSameTime = 1e-3f;

// Every key time of every track of the set, in no particular order.
template <class Visit>
void ForEachKeyTime(const cAnimationSet& set, Visit visit) {
    const auto track = [&visit](const auto& keys) {
        for (const auto& key : keys)
            visit(key.m_time);
    };
    for (const auto& animation : set.m_animations) {
        track(animation->m_rotationKeys);
        track(animation->m_scaleKeys);
        track(animation->m_translationKeys);
        track(animation->m_matrixKeys);
    }
}

}  // namespace

const cAnimationSet* cTimeline::Set(const cModel& model) {
    return model.m_currentSet < model.m_animationSets.size() ? model.m_animationSets[model.m_currentSet].get()
                                                             : nullptr;
}

float cTimeline::End(const cModel& model) {
    const cAnimationSet* set = Set(model);
    if (set == nullptr || set->m_length <= 0) return 0;
    return std::nextafter(static_cast<float>(set->m_length), 0.0f);
}

float cTimeline::Step(const cModel& model, int frames) {
    const cAnimationSet* set = Set(model);
    if (set == nullptr) return 0;
    const float time = model.m_time + static_cast<float>(frames) * set->m_ticksPerSecond / 30.0f;
    return std::clamp(time, 0.0f, End(model));
}

float cTimeline::Key(const cModel& model, int direction) {
    const cAnimationSet* set = Set(model);
    if (set == nullptr) return 0;
    float found = direction > 0 ? End(model) : 0.0f;
    const auto visit = [&](float t) {
        if (direction > 0 && t > model.m_time + kSameTime) found = std::min(found, t);
        if (direction <= 0 && t < model.m_time - kSameTime) found = std::max(found, t);
    };
    ForEachKeyTime(*set, visit);
    return std::min(found, End(model));
}

float cTimeline::TimeAt(const cModel& model, float fraction) {
    const cAnimationSet* set = Set(model);
    if (set == nullptr || !(fraction > 0)) return 0;  // NaN too
    return std::min(fraction * static_cast<float>(set->m_length), End(model));
}

void cTimeline::KeyTimes(const cModel& model, std::vector<float>* times) {
    times->clear();
    const cAnimationSet* set = Set(model);
    if (set == nullptr) return;
    const auto visit = [times](float t) { times->push_back(t); };
    ForEachKeyTime(*set, visit);
    std::sort(times->begin(), times->end());
    times->erase(
        std::unique(times->begin(), times->end(), [](float a, float b) { return b - a <= kSameTime; }),
        times->end());
}

}  // namespace Vorel
