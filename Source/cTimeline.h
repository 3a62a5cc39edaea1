#pragma once

#include <vector>

#include "cModel.h"

namespace Vorel {

// Moving through the model's current set by hand: a frame (a thirtieth of
// a second of the set's own time) at a time, from one key time to the next
// of any of its tracks, or to either end. Times are in the set's ticks,
// from 0 to End; a model without a set stays at 0.
class cTimeline {
public:
    // The last time before the set loops to its start, where its last pose
    // stands.
    static float End(const cModel& model);
    // The time `frames` frames on from the model's (back when negative),
    // held at the ends.
    static float Step(const cModel& model, int frames);
    // The nearest key time after the model's (`direction` > 0) or before
    // it; the end, or the start, when there is none.
    static float Key(const cModel& model, int direction);
    // The time at `fraction` (0 to 1) of the set's length, held within 0
    // and End: where a press on the timeline puts the pose.
    static float TimeAt(const cModel& model, float fraction);
    // Every key time of the current set's tracks, in order, each once.
    static void KeyTimes(const cModel& model, std::vector<float>* times);
    // The set being played, or null when the model has none.
    static const cAnimationSet* Set(const cModel& model);
};

}  // namespace Vorel
