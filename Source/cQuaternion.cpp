#include "cQuaternion.h"

#include <cmath>

namespace Vorel {

cQuaternion cQuaternion::Multiply(const cQuaternion& a, const cQuaternion& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,  //
            a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,  //
            a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,  //
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

cQuaternion cQuaternion::Inverse(const cQuaternion& q) {
    const float k = 1.0f / (q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return {-q.x * k, -q.y * k, -q.z * k, q.w * k};
}

float cQuaternion::Dot(const cQuaternion& a, const cQuaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

cQuaternion cQuaternion::Slerp(const cQuaternion& from, const cQuaternion& to, float t) {
    float d = Dot(from, to);
    float sign = 1.0f;
    if (d < 0) {
        d = -d;
        sign = -1.0f;
    } else if (d > 1) {
        d = 1;
    }
    // Nearly the same rotation (or, flipped, nearly opposite quaternions,
    // which are the same rotation), where sin θ would be lost to rounding:
    // the arc is a straight line to float precision. Returning `from` here
    // would make a slowly turning bone step from key to key, which a long
    // lever shows. Equal ends give `from` exactly. This also covers a |d|
    // that rounding pushed past 1, before acos could see it.
    if (1.0f - d < 1e-7f)
        return {from.x + t * (sign * to.x - from.x), from.y + t * (sign * to.y - from.y),
                from.z + t * (sign * to.z - from.z), from.w + t * (sign * to.w - from.w)};
    const float theta = static_cast<float>(std::acos(static_cast<double>(d)));
    const float sinTheta = static_cast<float>(std::sin(static_cast<double>(theta)));
    const float w0 = static_cast<float>(std::sin(static_cast<double>((1.0f - t) * theta)) / sinTheta);
    const float w1 = static_cast<float>(std::sin(static_cast<double>(t * theta)) / sinTheta) * sign;
    return {w0 * from.x + w1 * to.x, w0 * from.y + w1 * to.y, w0 * from.z + w1 * to.z,
            w0 * from.w + w1 * to.w};
}

}  // namespace Vorel
