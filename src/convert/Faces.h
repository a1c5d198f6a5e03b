#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

using Point3 = std::array<double, 3>;
using Piece = std::array<int, 3>;

// Twice the area of an outline, as the length of its Newell vector: the parts an outline
// runs along twice in opposite directions (the bridge of a bridged hole) cancel, so a ring
// counts only its ring.
double OutlineArea2(const Point3* corners, std::size_t count);

// Whether that area is more than nothing, without the square root.
bool HasArea(const Point3* corners, std::size_t count);

// Whether four corners make a quad the renderer draws as one: seen along its mean normal,
// every corner turns the same way. Object files hold bent quads of that kind, and they
// stay quads; a concave or crossed one only keeps its surface as triangles.
bool IsConvexQuad(const Point3* corners);

// Whether a quad's corners lie within a thousandth of its size of one plane.
bool IsFlatQuad(const Point3* corners);

// Splits any outline into triangles of its own turning sense with GLU's tessellator under
// the odd winding rule, so that holes joined to the outline by a bridge stay holes, concave
// and self-touching outlines keep their area. Corners the tessellator has to add where
// edges cross are appended to the corner list; pieces index into it. No GL context needed.
class Tessellator {
public:
    Tessellator();
    ~Tessellator();
    Tessellator(const Tessellator&) = delete;
    Tessellator& operator=(const Tessellator&) = delete;

    // False when the library could not be used at all (no memory for it).
    bool split(std::vector<Point3>& corners, std::vector<Piece>& pieces);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// What rounding every corner to a whole number would do to one face.
enum class RoundingHarm { None, Area, Collapse, Bend };

// Judges one face (three or more corners, before rounding): harmless when its area changes
// by at most 1 %, it keeps an area, and a flat quad stays flat.
RoundingHarm JudgeRounding(const Point3* corners, std::size_t count);

// std::round without the library call, which was a tenth of the conversion: exact for every
// double, the sign of zero included.
double RoundHalfAway(double v);
