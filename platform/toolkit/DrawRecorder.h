// SPDX-License-Identifier: GPL-3.0-or-later
// A list of the drawing operations a context performed, in window coordinates (points,
// y up), kept beside the pixels so that tests can check geometry and colour exactly.
#pragma once

#include "platform/toolkit/Color.h"
#include "platform/toolkit/Geometry.h"
#include "platform/toolkit/Path.h"
#include "platform/toolkit/Shadow.h"
#include "platform/toolkit/Text.h"

#include <optional>
#include <string>
#include <vector>

namespace tk {

class Image;

// Values match the platform's compositing constants (copy 1, source-over 2, plus-lighter 13).
enum class CompositingOperation : int { Copy = 1, SourceOver = 2, PlusLighter = 13 };

struct DrawOp {
    enum class Kind { FillRect, FillEllipse, StrokeEllipse, FillPath, StrokePath, Image, Text };
    Kind kind;
    Rect rect; // the rectangle, ellipse rectangle, image destination or text frame
    Path path; // FillPath/StrokePath
    Color color;
    CompositingOperation operation = CompositingOperation::SourceOver;
    std::optional<Shadow> shadow;
    double lineWidth = 1.0;
    const Image* image = nullptr;
    double fraction = 1.0;
    std::string text;
    TextAttributes textAttributes;
    bool truncated = false; // Text: the string did not fit and ends in an ellipsis
    Rect textBounds;        // Text: the laid-out line's logical rectangle
};

class DrawRecorder {
  public:
    void record(DrawOp op) { ops_.push_back(std::move(op)); }
    const std::vector<DrawOp>& ops() const { return ops_; }
    std::vector<DrawOp> ofKind(DrawOp::Kind k) const {
        std::vector<DrawOp> out;
        for (const auto& op : ops_)
            if (op.kind == k) out.push_back(op);
        return out;
    }
    void clear() { ops_.clear(); }

  private:
    std::vector<DrawOp> ops_;
};

} // namespace tk
