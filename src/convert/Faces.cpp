#include "Faces.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>

namespace {

constexpr double kFlatness = 1e-3;

Point3 newell(const Point3* p, std::size_t n)
{
    Point3 normal{0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        const Point3& a = p[i];
        const Point3& b = p[i + 1 == n ? 0 : i + 1];
        normal[0] += (a[1] - b[1]) * (a[2] + b[2]);
        normal[1] += (a[2] - b[2]) * (a[0] + b[0]);
        normal[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    return normal;
}

double dot(const Point3& a, const Point3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Point3 minus(const Point3& a, const Point3& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Point3 cross(const Point3& a, const Point3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Point3& a)
{
    return std::sqrt(dot(a, a));
}

// Indices travel through the tessellator as its per-vertex data, one up so that none is
// the null pointer.
void* asData(std::size_t index)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(index + 1));
}

int fromData(void* data)
{
    return int(reinterpret_cast<uintptr_t>(data) - 1);
}

} // namespace

double OutlineArea2(const Point3* corners, std::size_t count)
{
    return length(newell(corners, count));
}

bool HasArea(const Point3* corners, std::size_t count)
{
    const Point3 normal = newell(corners, count);
    return dot(normal, normal) > 0;
}

bool IsConvexQuad(const Point3* p)
{
    const Point3 normal = newell(p, 4);
    if (!(dot(normal, normal) > 0) || !std::isfinite(dot(normal, normal)))
        return false;
    for (int i = 0; i < 4; ++i) {
        const Point3 turn = cross(minus(p[(i + 1) % 4], p[i]), minus(p[(i + 2) % 4], p[(i + 1) % 4]));
        if (dot(turn, normal) < 0)
            return false;
    }
    return true;
}

bool IsFlatQuad(const Point3* p)
{
    const Point3 normal = newell(p, 4);
    const double twiceArea = length(normal);
    if (!(twiceArea > 0) || !std::isfinite(twiceArea))
        return false;
    const Point3 unit{normal[0] / twiceArea, normal[1] / twiceArea, normal[2] / twiceArea};
    const double size = std::max(length(minus(p[2], p[0])), length(minus(p[3], p[1])));
    const Point3 centre{(p[0][0] + p[1][0] + p[2][0] + p[3][0]) / 4,
                        (p[0][1] + p[1][1] + p[2][1] + p[3][1]) / 4,
                        (p[0][2] + p[1][2] + p[2][2] + p[3][2]) / 4};
    for (int i = 0; i < 4; ++i)
        if (std::fabs(dot(minus(p[i], centre), unit)) > kFlatness * size)
            return false;
    return true;
}

struct Tessellator::State {
    GLUtesselator* tess = nullptr;
    std::deque<Point3> added;      // corners made where edges cross; stable while tessellating
    std::size_t base = 0;          // the corners given, before the added ones
    std::vector<Piece>* pieces = nullptr;
    int pending[3] = {0, 0, 0};
    int filled = 0;
    bool failed = false;

    static void GLAPIENTRY begin(GLenum, void*) {}
    static void GLAPIENTRY edgeFlag(GLboolean, void*) {}   // asks for separate triangles only
    static void GLAPIENTRY vertex(void* data, void* self)
    {
        State& s = *static_cast<State*>(self);
        s.pending[s.filled++] = fromData(data);
        if (s.filled == 3) {
            s.pieces->push_back({s.pending[0], s.pending[1], s.pending[2]});
            s.filled = 0;
        }
    }
    static void GLAPIENTRY combine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* self)
    {
        State& s = *static_cast<State*>(self);
        s.added.push_back({coords[0], coords[1], coords[2]});
        *out = asData(s.base + s.added.size() - 1);
    }
    static void GLAPIENTRY error(GLenum, void* self) { static_cast<State*>(self)->failed = true; }
};

Tessellator::Tessellator() : state_(std::make_unique<State>())
{
    GLUtesselator* t = gluNewTess();
    state_->tess = t;
    if (!t)
        return;
    using Callback = void(GLAPIENTRY*)();
    gluTessCallback(t, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(&State::begin));
    gluTessCallback(t, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(&State::edgeFlag));
    gluTessCallback(t, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(&State::vertex));
    gluTessCallback(t, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(&State::combine));
    gluTessCallback(t, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(&State::error));
    gluTessProperty(t, GLU_TESS_TOLERANCE, 0);
}

Tessellator::~Tessellator()
{
    if (state_->tess)
        gluDeleteTess(state_->tess);
}

bool Tessellator::split(std::vector<Point3>& corners, std::vector<Piece>& pieces)
{
    State& s = *state_;
    if (!s.tess)
        return false;
    const std::size_t given = corners.size(), first = pieces.size();
    // The outline's own normal: the tessellator then works in the face's plane, and the
    // pieces can be turned the way the outline turns.
    const Point3 normal = newell(corners.data(), given);
    gluTessNormal(s.tess, normal[0], normal[1], normal[2]);
    // An outline that runs round the same corners an even number of times encloses nothing
    // by the odd rule, though it plainly means its face: then every region it winds round
    // is taken.
    for (const GLdouble rule : {GLU_TESS_WINDING_ODD, GLU_TESS_WINDING_NONZERO}) {
        gluTessProperty(s.tess, GLU_TESS_WINDING_RULE, rule);
        s.added.clear();
        s.base = given;
        s.pieces = &pieces;
        s.filled = 0;
        s.failed = false;
        pieces.resize(first);
        corners.resize(given);
        gluTessBeginPolygon(s.tess, &s);
        gluTessBeginContour(s.tess);
        for (std::size_t i = 0; i < given; ++i)
            gluTessVertex(s.tess, corners[i].data(), asData(i));
        gluTessEndContour(s.tess);
        gluTessEndPolygon(s.tess);
        if (!s.failed && pieces.size() > first)
            break;
    }
    corners.insert(corners.end(), s.added.begin(), s.added.end());
    if (s.failed) {
        pieces.resize(first);
        return false;
    }
    for (std::size_t i = first; i < pieces.size(); ++i) {
        Piece& piece = pieces[i];
        const Point3 turn = cross(minus(corners[piece[1]], corners[piece[0]]),
                                  minus(corners[piece[2]], corners[piece[0]]));
        if (dot(turn, normal) < 0)
            std::swap(piece[1], piece[2]);
    }
    return true;
}

double RoundHalfAway(double v)
{
    if (!(std::fabs(v) < 0x1p52))
        return std::round(v);   // already whole, infinite or not a number
    int64_t whole = int64_t(v);
    const double rest = v - double(whole);   // exact below 2^52
    // Without branches: on real coordinates the halves fall either way at random.
    whole += int64_t(rest >= 0.5) - int64_t(rest <= -0.5);
    return std::copysign(double(whole), v);
}

RoundingHarm JudgeRounding(const Point3* corners, std::size_t count)
{
    Point3 small[4];
    std::vector<Point3> large;
    Point3* rounded = small;
    if (count > 4) {
        large.resize(count);
        rounded = large.data();
    }
    bool whole = true;
    for (std::size_t i = 0; i < count; ++i)
        for (int a = 0; a < 3; ++a) {
            rounded[i][a] = RoundHalfAway(corners[i][a]);
            whole = whole && rounded[i][a] == corners[i][a];
        }
    if (whole)
        return RoundingHarm::None;   // nothing moves
    // Squared twice-areas: the comparison needs no square root.
    const Point3 n0 = newell(corners, count), n1 = newell(rounded, count);
    const double before = dot(n0, n0), after = dot(n1, n1);
    if (!(before > 0) || !std::isfinite(before))
        return RoundingHarm::None;   // no area to lose: dropped either way
    if (!(after > 0))
        return RoundingHarm::Collapse;
    if (after < 0.99 * 0.99 * before || after > 1.01 * 1.01 * before)
        return RoundingHarm::Area;
    if (count == 4 && IsFlatQuad(corners) && !IsFlatQuad(rounded))
        return RoundingHarm::Bend;
    return RoundingHarm::None;
}
