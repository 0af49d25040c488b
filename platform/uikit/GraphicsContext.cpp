#include "platform/uikit/GraphicsContext.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/Screen.h"

namespace clipora::platform {

namespace {

constexpr int kSamples = 4;  // anti-aliasing samples per pixel and axis
constexpr float kPi = std::numbers::pi_v<float>;

struct ContextEntry {
    std::shared_ptr<GraphicsContext> context;
    bool imageContext;
};

std::vector<ContextEntry>& contextStack() {
    thread_local std::vector<ContextEntry> stack;
    return stack;
}

float mainScreenScale() {
    float scale = Screen::mainScreen()->scale();
    return scale > 0 && std::isfinite(scale) ? scale : 1.0f;
}

int bytesPerPixelFor(Bitmap::ColorSpace space, Bitmap::AlphaInfo alpha) {
    bool hasAlpha = alpha != Bitmap::AlphaInfo::None && alpha != Bitmap::AlphaInfo::NoneSkipFirst &&
                    alpha != Bitmap::AlphaInfo::NoneSkipLast;
    if (space == Bitmap::ColorSpace::Gray) return hasAlpha ? 2 : 1;
    return 4;
}

float cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }

float signedArea(const std::vector<Point>& poly) {
    float area = 0;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const Point& p = poly[i];
        const Point& q = poly[(i + 1) % poly.size()];
        area += p.x * q.y - q.x * p.y;
    }
    return area / 2;
}

// Same winding direction for every piece of a stroke, so that overlapping
// pieces add up under the non-zero rule instead of cancelling out.
void orient(std::vector<Point>& poly) {
    if (signedArea(poly) < 0) std::reverse(poly.begin(), poly.end());
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

bool finite(const Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and the context stack

GraphicsContext::GraphicsContext(Bitmap bitmap, float scale, bool topLeftOrigin)
    : bitmap_(std::move(bitmap)), scale_(scale), topLeftOrigin_(topLeftOrigin) {
    if (topLeftOrigin_) {
        state_.ctm = AffineTransform::makeScale(scale_, scale_);
    } else {
        state_.ctm = AffineTransform{1, 0, 0, -1, 0, static_cast<float>(bitmap_.height())};
    }
}

std::shared_ptr<GraphicsContext> GraphicsContext::makeBitmapContext(int width, int height, int bitsPerComponent,
                                                                    std::size_t bytesPerRow, Bitmap::ColorSpace space,
                                                                    Bitmap::AlphaInfo alpha) {
    if (width <= 0 || height <= 0 || width > Bitmap::kMaxDimension || height > Bitmap::kMaxDimension ||
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > Bitmap::kMaxPixels) {
        return nullptr;
    }
    if (bitsPerComponent != 8) return nullptr;
    if (bytesPerRow != 0 && bytesPerRow < static_cast<std::size_t>(width) * bytesPerPixelFor(space, alpha)) {
        return nullptr;
    }
    return std::shared_ptr<GraphicsContext>(new GraphicsContext(Bitmap(width, height, space, alpha), 1.0f, false));
}

void GraphicsContext::beginImageContext(Size size) { beginImageContextWithOptions(size, false, 1.0f); }

void GraphicsContext::beginImageContextWithOptions(Size size, bool opaque, float scale) {
    if (!(scale > 0) || !std::isfinite(scale)) scale = mainScreenScale();
    std::shared_ptr<GraphicsContext> context;
    double w = std::ceil(static_cast<double>(size.width) * scale - 1e-4);
    double h = std::ceil(static_cast<double>(size.height) * scale - 1e-4);
    if (std::isfinite(w) && std::isfinite(h) && w >= 1 && h >= 1 && w <= Bitmap::kMaxDimension &&
        h <= Bitmap::kMaxDimension && w * h <= static_cast<double>(Bitmap::kMaxPixels)) {
        Bitmap bitmap(static_cast<int>(w), static_cast<int>(h), Bitmap::ColorSpace::RGB,
                      opaque ? Bitmap::AlphaInfo::NoneSkipLast : Bitmap::AlphaInfo::PremultipliedLast);
        context = std::shared_ptr<GraphicsContext>(new GraphicsContext(std::move(bitmap), scale, true));
    } else {
        Log::format("GraphicsContext: invalid image context size %gx%g", static_cast<double>(size.width),
                    static_cast<double>(size.height));
    }
    contextStack().push_back({std::move(context), true});
}

std::shared_ptr<Image> GraphicsContext::imageFromCurrentImageContext() {
    auto& stack = contextStack();
    if (stack.empty() || !stack.back().imageContext || !stack.back().context) return nullptr;
    return stack.back().context->makeImage();
}

void GraphicsContext::endImageContext() {
    auto& stack = contextStack();
    if (!stack.empty() && stack.back().imageContext) stack.pop_back();
}

std::shared_ptr<GraphicsContext> GraphicsContext::current() {
    auto& stack = contextStack();
    return stack.empty() ? nullptr : stack.back().context;
}

void GraphicsContext::pushContext(std::shared_ptr<GraphicsContext> context) {
    contextStack().push_back({std::move(context), false});
}

void GraphicsContext::popContext() {
    auto& stack = contextStack();
    if (!stack.empty() && !stack.back().imageContext) stack.pop_back();
}

std::shared_ptr<Bitmap> GraphicsContext::makeBitmap() const { return bitmap_.copy(); }

std::shared_ptr<Image> GraphicsContext::makeImage() const {
    return Image::imageWithBitmap(makeBitmap(), scale_, Image::Orientation::Up);
}

// ---------------------------------------------------------------------------
// State

void GraphicsContext::saveGState() { saved_.push_back(state_); }

void GraphicsContext::restoreGState() {
    if (saved_.empty()) return;
    state_ = std::move(saved_.back());
    saved_.pop_back();
}

void GraphicsContext::translateCTM(float tx, float ty) { state_.ctm = state_.ctm.translate(tx, ty); }
void GraphicsContext::scaleCTM(float sx, float sy) { state_.ctm = state_.ctm.scale(sx, sy); }
void GraphicsContext::rotateCTM(float angle) { state_.ctm = state_.ctm.rotate(angle); }
void GraphicsContext::concatCTM(const AffineTransform& t) { state_.ctm = t.concat(state_.ctm); }

void GraphicsContext::setFillColor(const Color& color) { state_.fill = color; }
void GraphicsContext::setStrokeColor(const Color& color) { state_.stroke = color; }
void GraphicsContext::setLineWidth(float width) {
    if (width >= 0 && std::isfinite(width)) state_.lineWidth = width;
}
void GraphicsContext::setAlpha(float alpha) {
    if (std::isfinite(alpha)) state_.alpha = clamp01(alpha);
}

// ---------------------------------------------------------------------------
// Rasterizing and compositing

GraphicsContext::Coverage GraphicsContext::rasterize(const std::vector<std::vector<Point>>& polygons,
                                                     FillRule rule) const {
    Coverage cov;
    std::vector<Edge> edges;
    float minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const auto& poly : polygons) {
        if (poly.size() < 3) continue;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            Point p = poly[i];
            Point q = poly[(i + 1) % poly.size()];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(q.x) || !std::isfinite(q.y)) return cov;
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
            if (p.y != q.y) edges.push_back({p.x, p.y, q.x, q.y});
        }
    }
    if (edges.empty()) return cov;
    cov.x0 = std::max(0, static_cast<int>(std::floor(minX)));
    cov.y0 = std::max(0, static_cast<int>(std::floor(minY)));
    int x1 = std::min(bitmap_.width(), static_cast<int>(std::ceil(maxX)));
    int y1 = std::min(bitmap_.height(), static_cast<int>(std::ceil(maxY)));
    cov.width = x1 - cov.x0;
    cov.height = y1 - cov.y0;
    if (cov.empty()) return cov;
    cov.values.assign(static_cast<std::size_t>(cov.width) * cov.height, 0.0f);

    const float sampleWeight = 1.0f / (kSamples * kSamples);
    std::vector<std::pair<float, int>> crossings;
    for (int row = cov.y0; row < y1; ++row) {
        float* out = &cov.values[static_cast<std::size_t>(row - cov.y0) * cov.width];
        for (int sub = 0; sub < kSamples; ++sub) {
            float y = row + (sub + 0.5f) / kSamples;
            crossings.clear();
            for (const Edge& e : edges) {
                float ya = std::min(e.y0, e.y1), yb = std::max(e.y0, e.y1);
                if (y < ya || y >= yb) continue;
                float x = e.x0 + (y - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
                crossings.emplace_back(x, e.y1 > e.y0 ? 1 : -1);
            }
            if (crossings.size() < 2) continue;
            std::sort(crossings.begin(), crossings.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
            int winding = 0;
            for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].second;
                bool inside = rule == FillRule::NonZero ? winding != 0 : (winding % 2) != 0;
                if (!inside) continue;
                float xa = crossings[i].first, xb = crossings[i + 1].first;
                long k0 = std::lround(std::ceil(xa * kSamples - 0.5f));
                long k1 = std::lround(std::ceil(xb * kSamples - 0.5f));
                k0 = std::max<long>(k0, static_cast<long>(cov.x0) * kSamples);
                k1 = std::min<long>(k1, static_cast<long>(x1) * kSamples);
                for (long k = k0; k < k1; ++k) out[k / kSamples - cov.x0] += sampleWeight;
            }
        }
    }
    return cov;
}

GraphicsContext::Coverage GraphicsContext::fullCoverage() const {
    Coverage cov;
    cov.width = bitmap_.width();
    cov.height = bitmap_.height();
    cov.values.assign(static_cast<std::size_t>(cov.width) * cov.height, 1.0f);
    return cov;
}

void GraphicsContext::composite(const Coverage& cov, const Shader& shader, bool replace) {
    if (cov.empty()) return;
    const std::vector<float>* clip = state_.clip.get();
    const bool gray = bitmap_.colorSpace() == Bitmap::ColorSpace::Gray;
    const bool alphaChannel = bitmap_.hasAlpha();
    const int stride = bitmap_.width();
    std::uint8_t* pixels = bitmap_.mutableData();
    for (int y = cov.y0; y < cov.y0 + cov.height; ++y) {
        for (int x = cov.x0; x < cov.x0 + cov.width; ++x) {
            float k = std::min(1.0f, cov.values[static_cast<std::size_t>(y - cov.y0) * cov.width + (x - cov.x0)]);
            if (clip) k *= (*clip)[static_cast<std::size_t>(y) * stride + x];
            if (k <= 0) continue;
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * stride + x) * 4];
            float da = p[3] / 255.0f;
            float dr = p[0] / 255.0f * da, dg = p[1] / 255.0f * da, db = p[2] / 255.0f * da;
            float orr, og, ob, oa;
            if (replace) {
                orr = dr * (1 - k);
                og = dg * (1 - k);
                ob = db * (1 - k);
                oa = da * (1 - k);
            } else {
                PremultipliedColor s = shader(x + 0.5f, y + 0.5f);
                float f = k * state_.alpha;
                float sa = s.a * f;
                orr = s.r * f + dr * (1 - sa);
                og = s.g * f + dg * (1 - sa);
                ob = s.b * f + db * (1 - sa);
                oa = sa + da * (1 - sa);
            }
            if (!alphaChannel) {
                // Without alpha the pixel stays opaque: what is not covered
                // shows the black underneath.
                oa = 1;
            }
            if (gray) {
                float l = 0.299f * orr + 0.587f * og + 0.114f * ob;
                orr = og = ob = l;
            }
            std::uint8_t a8 = static_cast<std::uint8_t>(std::lround(clamp01(oa) * 255));
            if (a8 == 0) {
                p[0] = p[1] = p[2] = p[3] = 0;
                continue;
            }
            auto channel = [oa](float c) { return static_cast<std::uint8_t>(std::lround(clamp01(c / oa) * 255)); };
            p[0] = channel(orr);
            p[1] = channel(og);
            p[2] = channel(ob);
            p[3] = a8;
        }
    }
}

void GraphicsContext::intersectClip(const Coverage& cov) {
    const std::size_t w = static_cast<std::size_t>(bitmap_.width());
    auto clip = std::make_shared<std::vector<float>>(w * bitmap_.height(), 0.0f);
    for (int y = cov.y0; y < cov.y0 + cov.height; ++y) {
        for (int x = cov.x0; x < cov.x0 + cov.width; ++x) {
            float k = std::min(1.0f, cov.values[static_cast<std::size_t>(y - cov.y0) * cov.width + (x - cov.x0)]);
            if (state_.clip) k *= (*state_.clip)[y * w + x];
            (*clip)[y * w + x] = k;
        }
    }
    state_.clip = std::move(clip);
}

GraphicsContext::Shader GraphicsContext::shaderForColor(const Color& color) const {
    if (color.isPattern() && color.patternImage() && color.patternImage()->bitmap()) {
        auto image = color.patternImage();
        auto bitmap = image->bitmap();
        Size size = image->size();
        auto inverse = state_.ctm.inverted();
        bool topLeft = topLeftOrigin_;
        if (!inverse || size.width <= 0 || size.height <= 0) return [](float, float) { return PremultipliedColor{}; };
        AffineTransform inv = *inverse;
        return [bitmap, size, inv, topLeft](float dx, float dy) {
            Point u = inv.apply(Point{dx, dy});
            float tx = std::fmod(u.x, size.width);
            float ty = std::fmod(u.y, size.height);
            if (tx < 0) tx += size.width;
            if (ty < 0) ty += size.height;
            // The tile is upright in the context's own convention.
            float fy = topLeft ? ty / size.height : 1 - ty / size.height;
            int px = std::clamp(static_cast<int>(tx / size.width * bitmap->width()), 0, bitmap->width() - 1);
            int py = std::clamp(static_cast<int>(fy * bitmap->height()), 0, bitmap->height() - 1);
            Bitmap::Pixel p = bitmap->pixel(px, py);
            float a = p.a / 255.0f;
            return PremultipliedColor{p.r / 255.0f * a, p.g / 255.0f * a, p.b / 255.0f * a, a};
        };
    }
    float a = clamp01(color.alpha());
    PremultipliedColor c{clamp01(color.red()) * a, clamp01(color.green()) * a, clamp01(color.blue()) * a, a};
    return [c](float, float) { return c; };
}

std::vector<std::vector<Point>> GraphicsContext::rectPolygon(const Rect& rect) const {
    Rect r = rect.standardized();
    const AffineTransform& m = state_.ctm;
    return {{m.apply(Point{r.minX(), r.minY()}), m.apply(Point{r.maxX(), r.minY()}), m.apply(Point{r.maxX(), r.maxY()}),
             m.apply(Point{r.minX(), r.maxY()})}};
}

// ---------------------------------------------------------------------------
// Painting

void GraphicsContext::fillRect(const Rect& rect) {
    if (!finite(rect)) return;
    composite(rasterize(rectPolygon(rect), FillRule::NonZero), shaderForColor(state_.fill));
}

void GraphicsContext::clearRect(const Rect& rect) {
    if (!finite(rect)) return;
    composite(rasterize(rectPolygon(rect), FillRule::NonZero), Shader{}, true);
}

void GraphicsContext::strokeRect(const Rect& rect) {
    if (!finite(rect)) return;
    float hw = state_.lineWidth / 2;
    Rect r = rect.standardized();
    auto outer = rectPolygon(Rect(r.minX() - hw, r.minY() - hw, r.width() + 2 * hw, r.height() + 2 * hw));
    std::vector<std::vector<Point>> polys = outer;
    if (r.width() > 2 * hw && r.height() > 2 * hw) {
        auto inner = rectPolygon(Rect(r.minX() + hw, r.minY() + hw, r.width() - 2 * hw, r.height() - 2 * hw));
        polys.push_back(inner[0]);
    }
    composite(rasterize(polys, FillRule::EvenOdd), shaderForColor(state_.stroke));
}

void GraphicsContext::strokeLineSegments(const std::vector<Point>& pointPairs) {
    std::vector<std::vector<Point>> lines;
    for (std::size_t i = 0; i + 1 < pointPairs.size(); i += 2) {
        lines.push_back({state_.ctm.apply(pointPairs[i]), state_.ctm.apply(pointPairs[i + 1])});
    }
    composite(rasterize(strokePolygons(lines, std::vector<bool>(lines.size(), false)), FillRule::NonZero),
              shaderForColor(state_.stroke));
}

void GraphicsContext::fillEllipseInRect(const Rect& rect) {
    auto savedPath = std::move(path_);
    auto savedClosed = std::move(pathClosed_);
    bool savedHas = hasCurrentPoint_;
    beginPath();
    addEllipseInRect(rect);
    fillPath();
    path_ = std::move(savedPath);
    pathClosed_ = std::move(savedClosed);
    hasCurrentPoint_ = savedHas;
}

std::vector<std::vector<Point>> GraphicsContext::strokePolygons(const std::vector<std::vector<Point>>& polylines,
                                                                const std::vector<bool>& closed) const {
    // The line width is in user space; an unevenly scaled CTM gets the mean.
    float hw = state_.lineWidth / 2 * std::sqrt(std::fabs(state_.ctm.a * state_.ctm.d - state_.ctm.b * state_.ctm.c));
    std::vector<std::vector<Point>> out;
    if (hw <= 0) return out;
    for (std::size_t li = 0; li < polylines.size(); ++li) {
        std::vector<Point> pts;
        for (const Point& p : polylines[li]) {
            if (pts.empty() || pts.back().x != p.x || pts.back().y != p.y) pts.push_back(p);
        }
        bool isClosed = closed[li] && pts.size() > 2;
        if (isClosed && pts.front() == pts.back()) pts.pop_back();
        std::size_t n = pts.size();
        if (n < 2) continue;
        std::size_t segments = isClosed ? n : n - 1;
        auto direction = [&](std::size_t i) {
            Point a = pts[i], b = pts[(i + 1) % n];
            float len = std::hypot(b.x - a.x, b.y - a.y);
            return Point{(b.x - a.x) / len, (b.y - a.y) / len};
        };
        for (std::size_t i = 0; i < segments; ++i) {
            Point a = pts[i], b = pts[(i + 1) % n];
            Point d = direction(i);
            Point nrm{-d.y * hw, d.x * hw};
            std::vector<Point> quad{{a.x + nrm.x, a.y + nrm.y},
                                    {b.x + nrm.x, b.y + nrm.y},
                                    {b.x - nrm.x, b.y - nrm.y},
                                    {a.x - nrm.x, a.y - nrm.y}};
            orient(quad);
            out.push_back(std::move(quad));
        }
        // Miter joins (bevelled past a miter limit of 10).
        std::size_t firstJoin = isClosed ? 0 : 1;
        std::size_t lastJoin = isClosed ? n : n - 1;
        for (std::size_t j = firstJoin; j < lastJoin; ++j) {
            Point v = pts[j];
            Point d1 = direction((j + n - 1) % n);
            Point d2 = direction(j);
            float turn = cross(d1, d2);
            if (std::fabs(turn) < 1e-6f) continue;
            float s = turn > 0 ? 1.0f : -1.0f;
            Point n1{s * d1.y * hw, -s * d1.x * hw};
            Point n2{s * d2.y * hw, -s * d2.x * hw};
            Point m{n1.x + n2.x, n1.y + n2.y};
            float m2 = m.x * m.x + m.y * m.y;
            std::vector<Point> join;
            if (m2 > 0 && 4 * hw * hw / m2 <= 100) {
                float f = 2 * hw * hw / m2;
                join = {v, {v.x + n1.x, v.y + n1.y}, {v.x + m.x * f, v.y + m.y * f}, {v.x + n2.x, v.y + n2.y}};
            } else {
                join = {v, {v.x + n1.x, v.y + n1.y}, {v.x + n2.x, v.y + n2.y}};
            }
            orient(join);
            out.push_back(std::move(join));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Path

void GraphicsContext::beginPath() {
    path_.clear();
    pathClosed_.clear();
    hasCurrentPoint_ = false;
}

void GraphicsContext::addDevicePoint(Point p, bool startNew) {
    if (startNew || path_.empty()) {
        path_.push_back({});
        pathClosed_.push_back(false);
    }
    path_.back().push_back(p);
}

void GraphicsContext::moveToPoint(Point p) {
    addDevicePoint(state_.ctm.apply(p), true);
    hasCurrentPoint_ = true;
    currentUserPoint_ = p;
}

void GraphicsContext::addLineToPoint(Point p) {
    if (!hasCurrentPoint_) {
        moveToPoint(p);
        return;
    }
    if (pathClosed_.back()) addDevicePoint(state_.ctm.apply(currentUserPoint_), true);
    addDevicePoint(state_.ctm.apply(p), false);
    currentUserPoint_ = p;
}

void GraphicsContext::appendArcPoints(Point center, float radius, float startAngle, float endAngle, bool clockwise) {
    float sweep = endAngle - startAngle;
    const float full = 2 * kPi;
    if (clockwise) {
        if (sweep > 0) sweep = std::fmod(sweep, full) - full;
        sweep = std::max(sweep, -full);
    } else {
        if (sweep < 0) sweep = std::fmod(sweep, full) + full;
        sweep = std::min(sweep, full);
    }
    float deviceRadius =
        radius * std::sqrt(std::max(std::fabs(state_.ctm.a * state_.ctm.d - state_.ctm.b * state_.ctm.c), 1e-6f));
    float step = deviceRadius > 0.1f ? 2 * std::acos(std::max(-1.0f, 1 - 0.1f / deviceRadius)) : kPi / 2;
    int segments = std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / step)), 1, 4096);
    for (int i = 0; i <= segments; ++i) {
        float angle = startAngle + sweep * i / segments;
        Point p{center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)};
        if (i == 0)
            addLineToPoint(p);
        else {
            addDevicePoint(state_.ctm.apply(p), false);
            currentUserPoint_ = p;
        }
    }
}

void GraphicsContext::addArc(Point center, float radius, float startAngle, float endAngle, bool clockwise) {
    if (!(radius >= 0) || !std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle)) return;
    appendArcPoints(center, radius, startAngle, endAngle, clockwise);
}

void GraphicsContext::addArcToPoint(Point p1, Point p2, float radius) {
    if (!hasCurrentPoint_) moveToPoint(p1);
    Point p0 = currentUserPoint_;
    Point v1{p0.x - p1.x, p0.y - p1.y};
    Point v2{p2.x - p1.x, p2.y - p1.y};
    float l1 = std::hypot(v1.x, v1.y), l2 = std::hypot(v2.x, v2.y);
    if (l1 == 0 || l2 == 0 || !(radius > 0)) {
        addLineToPoint(p1);
        return;
    }
    v1 = {v1.x / l1, v1.y / l1};
    v2 = {v2.x / l2, v2.y / l2};
    float cosTheta = std::clamp(v1.x * v2.x + v1.y * v2.y, -1.0f, 1.0f);
    float theta = std::acos(cosTheta);
    if (theta < 1e-6f || std::fabs(cross(v1, v2)) < 1e-6f) {
        addLineToPoint(p1);
        return;
    }
    float tangent = radius / std::tan(theta / 2);
    Point t1{p1.x + v1.x * tangent, p1.y + v1.y * tangent};
    Point t2{p1.x + v2.x * tangent, p1.y + v2.y * tangent};
    Point bis{v1.x + v2.x, v1.y + v2.y};
    float bl = std::hypot(bis.x, bis.y);
    float centerDistance = radius / std::sin(theta / 2);
    Point c{p1.x + bis.x / bl * centerDistance, p1.y + bis.y / bl * centerDistance};
    float a0 = std::atan2(t1.y - c.y, t1.x - c.x);
    float a1 = std::atan2(t2.y - c.y, t2.x - c.x);
    float delta = a1 - a0;
    while (delta > kPi) delta -= 2 * kPi;
    while (delta <= -kPi) delta += 2 * kPi;
    appendArcPoints(c, radius, a0, a0 + delta, delta < 0);
}

void GraphicsContext::addRect(const Rect& rect) {
    Rect r = rect.standardized();
    moveToPoint({r.minX(), r.minY()});
    addLineToPoint({r.maxX(), r.minY()});
    addLineToPoint({r.maxX(), r.maxY()});
    addLineToPoint({r.minX(), r.maxY()});
    closePath();
}

void GraphicsContext::addRoundedRect(const Rect& rect, float cornerRadius) {
    Rect r = rect.standardized();
    float rad = std::clamp(cornerRadius, 0.0f, std::min(r.width(), r.height()) / 2);
    if (!(rad > 0)) {
        addRect(r);
        return;
    }
    moveToPoint({r.minX() + rad, r.minY()});
    appendArcPoints({r.maxX() - rad, r.minY() + rad}, rad, -kPi / 2, 0, false);
    appendArcPoints({r.maxX() - rad, r.maxY() - rad}, rad, 0, kPi / 2, false);
    appendArcPoints({r.minX() + rad, r.maxY() - rad}, rad, kPi / 2, kPi, false);
    appendArcPoints({r.minX() + rad, r.minY() + rad}, rad, kPi, 3 * kPi / 2, false);
    closePath();
}

void GraphicsContext::addEllipseInRect(const Rect& rect) {
    Rect r = rect.standardized();
    float rx = r.width() / 2, ry = r.height() / 2;
    Point c = r.center();
    float deviceRadius =
        std::max(rx, ry) *
        std::sqrt(std::max(std::fabs(state_.ctm.a * state_.ctm.d - state_.ctm.b * state_.ctm.c), 1e-6f));
    int segments = std::clamp(
        static_cast<int>(std::ceil(2 * kPi / (deviceRadius > 0.1f ? 2 * std::acos(1 - 0.1f / deviceRadius) : kPi / 2))),
        8, 4096);
    moveToPoint({c.x + rx, c.y});
    for (int i = 1; i < segments; ++i) {
        float a = 2 * kPi * i / segments;
        addLineToPoint({c.x + rx * std::cos(a), c.y + ry * std::sin(a)});
    }
    closePath();
}

void GraphicsContext::closePath() {
    if (path_.empty() || pathClosed_.back()) return;
    pathClosed_.back() = true;
    if (!path_.back().empty()) {
        // A new segment after closing starts at the subpath's first point.
        auto inverse = state_.ctm.inverted();
        if (inverse) currentUserPoint_ = inverse->apply(path_.back().front());
    }
}

bool GraphicsContext::isPathEmpty() const {
    return std::all_of(path_.begin(), path_.end(), [](const auto& sub) { return sub.empty(); });
}

void GraphicsContext::fillPath(FillRule rule) {
    composite(rasterize(path_, rule), shaderForColor(state_.fill));
    beginPath();
}

void GraphicsContext::strokePath() {
    composite(rasterize(strokePolygons(path_, pathClosed_), FillRule::NonZero), shaderForColor(state_.stroke));
    beginPath();
}

void GraphicsContext::clipToPath(FillRule rule) {
    intersectClip(rasterize(path_, rule));
    beginPath();
}

// ---------------------------------------------------------------------------
// Clip

void GraphicsContext::clipToRect(const Rect& rect) {
    if (!finite(rect)) return;
    intersectClip(rasterize(rectPolygon(rect), FillRule::NonZero));
}

void GraphicsContext::clipToMask(const Rect& rect, const Bitmap& mask) {
    if (!finite(rect) || rect.isEmpty()) {
        intersectClip(Coverage{});
        return;
    }
    Rect r = rect.standardized();
    AffineTransform unitToUser{r.width(), 0, 0, -r.height(), r.minX(), r.maxY()};
    AffineTransform unitToDevice = unitToUser.concat(state_.ctm);
    auto inverse = unitToDevice.inverted();
    Coverage cov = rasterize(rectPolygon(r), FillRule::NonZero);
    if (inverse && !cov.empty()) {
        for (int y = cov.y0; y < cov.y0 + cov.height; ++y) {
            for (int x = cov.x0; x < cov.x0 + cov.width; ++x) {
                float& k = cov.values[static_cast<std::size_t>(y - cov.y0) * cov.width + (x - cov.x0)];
                if (k <= 0) continue;
                Point u = inverse->apply(Point{x + 0.5f, y + 0.5f});
                int mx = std::clamp(static_cast<int>(std::floor(u.x * mask.width())), 0, mask.width() - 1);
                int my = std::clamp(static_cast<int>(std::floor(u.y * mask.height())), 0, mask.height() - 1);
                Bitmap::Pixel p = mask.pixel(mx, my);
                float lum = (0.299f * p.r + 0.587f * p.g + 0.114f * p.b) / 255.0f;
                k = std::min(1.0f, k) * lum * (p.a / 255.0f);
            }
        }
    }
    intersectClip(cov);
}

Rect GraphicsContext::clipBoundingBox() const {
    int x0 = 0, y0 = 0, x1 = bitmap_.width(), y1 = bitmap_.height();
    if (state_.clip) {
        x0 = bitmap_.width();
        y0 = bitmap_.height();
        x1 = y1 = 0;
        const auto& clip = *state_.clip;
        for (int y = 0; y < bitmap_.height(); ++y) {
            for (int x = 0; x < bitmap_.width(); ++x) {
                if (clip[static_cast<std::size_t>(y) * bitmap_.width() + x] > 0) {
                    x0 = std::min(x0, x);
                    y0 = std::min(y0, y);
                    x1 = std::max(x1, x + 1);
                    y1 = std::max(y1, y + 1);
                }
            }
        }
        if (x1 <= x0 || y1 <= y0) return Rect::zero();
    }
    auto inverse = state_.ctm.inverted();
    if (!inverse) return Rect::zero();
    return inverse->apply(
        Rect(static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1 - x0), static_cast<float>(y1 - y0)));
}

// ---------------------------------------------------------------------------
// Pictures and gradients

void GraphicsContext::drawImage(const Rect& rect, const Bitmap& bitmap) {
    if (!finite(rect)) return;
    Rect r = rect.standardized();
    AffineTransform unitToUser{r.width(), 0, 0, -r.height(), r.minX(), r.maxY()};
    drawBitmapPart(bitmap, Rect(0, 0, static_cast<float>(bitmap.width()), static_cast<float>(bitmap.height())),
                   unitToUser);
}

void GraphicsContext::drawBitmapPart(const Bitmap& bitmap, const Rect& sourcePixels,
                                     const AffineTransform& unitToUser) {
    Rect src = sourcePixels.standardized().intersection(
        Rect(0, 0, static_cast<float>(bitmap.width()), static_cast<float>(bitmap.height())));
    if (src.isEmpty()) return;
    AffineTransform unitToDevice = unitToUser.concat(state_.ctm);
    auto inverse = unitToDevice.inverted();
    if (!inverse) return;
    std::vector<std::vector<Point>> quad{{unitToDevice.apply(Point{0, 0}), unitToDevice.apply(Point{1, 0}),
                                          unitToDevice.apply(Point{1, 1}), unitToDevice.apply(Point{0, 1})}};
    Coverage cov = rasterize(quad, FillRule::NonZero);
    if (cov.empty()) return;

    const AffineTransform inv = *inverse;
    const float sx0 = src.minX(), sy0 = src.minY(), sw = src.width(), sh = src.height();
    // Source pixels per device pixel along each device axis: more than one
    // means shrinking, which takes several samples per pixel (area average).
    float footX = std::hypot(inv.a * sw, inv.b * sh);
    float footY = std::hypot(inv.c * sw, inv.d * sh);
    const int n = std::clamp(static_cast<int>(std::ceil(std::max(footX, footY) - 1e-3f)), 1, 8);
    const int minX = static_cast<int>(sx0), minY = static_cast<int>(sy0);
    const int maxX = static_cast<int>(std::ceil(sx0 + sw)) - 1, maxY = static_cast<int>(std::ceil(sy0 + sh)) - 1;
    const std::uint8_t* data = bitmap.data();
    const int stride = bitmap.width();
    const bool opaqueSource = !bitmap.hasAlpha();

    auto texel = [&](int x, int y, float w, PremultipliedColor& acc) {
        x = std::clamp(x, minX, maxX);
        y = std::clamp(y, minY, maxY);
        const std::uint8_t* p = &data[(static_cast<std::size_t>(y) * stride + x) * 4];
        float a = opaqueSource ? 1.0f : p[3] / 255.0f;
        acc.r += w * p[0] / 255.0f * a;
        acc.g += w * p[1] / 255.0f * a;
        acc.b += w * p[2] / 255.0f * a;
        acc.a += w * a;
    };
    Shader shader = [&](float dx, float dy) {
        PremultipliedColor acc;
        float w = 1.0f / (n * n);
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                Point u = inv.apply(Point{dx - 0.5f + (i + 0.5f) / n, dy - 0.5f + (j + 0.5f) / n});
                float px = sx0 + u.x * sw - 0.5f;
                float py = sy0 + u.y * sh - 0.5f;
                float fx0 = std::floor(px), fy0 = std::floor(py);
                float fx = px - fx0, fy = py - fy0;
                int ix = static_cast<int>(fx0), iy = static_cast<int>(fy0);
                texel(ix, iy, w * (1 - fx) * (1 - fy), acc);
                texel(ix + 1, iy, w * fx * (1 - fy), acc);
                texel(ix, iy + 1, w * (1 - fx) * fy, acc);
                texel(ix + 1, iy + 1, w * fx * fy, acc);
            }
        }
        return acc;
    };
    composite(cov, shader);
}

GraphicsContext::PremultipliedColor GraphicsContext::gradientColor(const Gradient& g, float t) const {
    const auto& stops = g.stops;
    if (stops.empty()) return {};
    const GradientStop* lo = &stops.front();
    const GradientStop* hi = &stops.back();
    if (t <= lo->location)
        hi = lo;
    else if (t >= hi->location)
        lo = hi;
    else {
        for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
            if (t >= stops[i].location && t <= stops[i + 1].location) {
                lo = &stops[i];
                hi = &stops[i + 1];
                break;
            }
        }
    }
    float span = hi->location - lo->location;
    float f = span > 0 ? (t - lo->location) / span : 0;
    auto mix = [f](float a, float b) { return a + (b - a) * f; };
    float a = clamp01(mix(lo->color.alpha(), hi->color.alpha()));
    return {clamp01(mix(lo->color.red(), hi->color.red())) * a, clamp01(mix(lo->color.green(), hi->color.green())) * a,
            clamp01(mix(lo->color.blue(), hi->color.blue())) * a, a};
}

void GraphicsContext::drawRadialGradient(const Gradient& gradient, Point c0, float r0, Point c1, float r1,
                                         int options) {
    auto inverse = state_.ctm.inverted();
    if (!inverse || gradient.stops.empty()) return;
    const AffineTransform inv = *inverse;
    const bool before = options & kGradientDrawsBeforeStartLocation;
    const bool after = options & kGradientDrawsAfterEndLocation;
    const float cdx = c1.x - c0.x, cdy = c1.y - c0.y, dr = r1 - r0;
    const float a = cdx * cdx + cdy * cdy - dr * dr;
    Shader shader = [&](float dx, float dy) -> PremultipliedColor {
        Point p = inv.apply(Point{dx, dy});
        float pdx = p.x - c0.x, pdy = p.y - c0.y;
        float b = pdx * cdx + pdy * cdy + r0 * dr;
        float c = pdx * pdx + pdy * pdy - r0 * r0;
        // The largest t whose circle (radius >= 0) passes through the point.
        float candidates[2];
        int count = 0;
        if (std::fabs(a) < 1e-9f) {
            if (std::fabs(b) < 1e-9f) return {};
            candidates[count++] = c / (2 * b);
        } else {
            float disc = b * b - a * c;
            if (disc < 0) return {};
            float root = std::sqrt(disc);
            float t1 = (b + root) / a, t2 = (b - root) / a;
            candidates[count++] = std::max(t1, t2);
            candidates[count++] = std::min(t1, t2);
        }
        for (int i = 0; i < count; ++i) {
            float t = candidates[i];
            if (r0 + t * dr < 0) continue;
            if (t < 0 && !before) continue;
            if (t > 1 && !after) continue;
            return gradientColor(gradient, clamp01(t));
        }
        return {};
    };
    composite(fullCoverage(), shader);
}

void GraphicsContext::drawLinearGradient(const Gradient& gradient, Point start, Point end, int options) {
    auto inverse = state_.ctm.inverted();
    if (!inverse || gradient.stops.empty()) return;
    const AffineTransform inv = *inverse;
    const bool before = options & kGradientDrawsBeforeStartLocation;
    const bool after = options & kGradientDrawsAfterEndLocation;
    const float vx = end.x - start.x, vy = end.y - start.y;
    const float len2 = vx * vx + vy * vy;
    if (len2 <= 0) return;
    Shader shader = [&](float dx, float dy) -> PremultipliedColor {
        Point p = inv.apply(Point{dx, dy});
        float t = ((p.x - start.x) * vx + (p.y - start.y) * vy) / len2;
        if ((t < 0 && !before) || (t > 1 && !after)) return {};
        return gradientColor(gradient, clamp01(t));
    };
    composite(fullCoverage(), shader);
}

}  // namespace clipora::platform
