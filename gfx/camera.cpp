// The camera of the world renderer: its matrices (computed here, loaded into GL
// when there is a window), the per-frame easing and the mouse and key controls.
// Everything but the GL loads is plain arithmetic, so the controls are tested
// without a display.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/state.h"
#include "gfx/graphics.h"
#include "gfx/world_draw.h"
#include "platform/canvas.h"
#include "platform/driver.h"

int top_view = 0;

namespace {

const double PI = 3.14159265358979323846;

struct Camera {
    double proj[16];     // perspective times look-at, column-major as GL keeps it
    double model[16];    // identity
    int viewport[4] = {0, 0, 960, 720};
    Vec3 eye;
};
Camera g_cam = [] {
    Camera c{};
    for (int i = 0; i < 16; ++i) c.proj[i] = c.model[i] = (i % 5 == 0) ? 1.0 : 0.0;
    c.viewport[2] = 960;
    c.viewport[3] = 720;
    return c;
}();

struct V3 {
    double x, y, z;
};
V3 sub(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 normalized(V3 a) {
    const double n = std::sqrt(dot(a, a));
    return n > 0 ? V3{a.x / n, a.y / n, a.z / n} : a;
}

// out = a * b (column-major 4 x 4).
void mul(const double* a, const double* b, double* out) {
    double r[16];
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = s;
        }
    for (int i = 0; i < 16; ++i) out[i] = r[i];
}

// The inverse of a 4 x 4 matrix by cofactors; false when it is singular.
bool invert(const double* m, double* out) {
    double inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] +
             m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] -
             m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] +
             m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] -
              m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] -
             m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] +
             m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] -
             m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] +
              m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] +
             m[5] * m[3] * m[14] + m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] -
             m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] +
              m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] -
              m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] -
             m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] +
             m[4] * m[3] * m[10] + m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] -
              m[4] * m[3] * m[9] - m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] +
              m[4] * m[2] * m[9] + m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0 || !std::isfinite(det)) return false;
    for (int i = 0; i < 16; ++i) out[i] = inv[i] / det;
    return true;
}

void perspective(double fovy_deg, double aspect, double znear, double zfar, double* m) {
    const double f = 1.0 / std::tan(fovy_deg * PI / 360.0);
    for (int i = 0; i < 16; ++i) m[i] = 0;
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zfar + znear) / (znear - zfar);
    m[11] = -1;
    m[14] = 2 * zfar * znear / (znear - zfar);
}

void look_at(V3 eye, V3 centre, V3 up, double* m) {
    const V3 f = normalized(sub(centre, eye));
    const V3 s = normalized(cross(f, up));
    const V3 u = cross(s, f);
    const double r[16] = {s.x, u.x, -f.x, 0, s.y, u.y, -f.y, 0, s.z, u.z, -f.z, 0,
                          -dot(s, eye), -dot(u, eye), dot(f, eye), 1};
    for (int i = 0; i < 16; ++i) m[i] = r[i];
}

// A camera field as read: non-finite values read as 0.
float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }
float clampf(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

const float ZOOM_MIN = -25, ZOOM_MAX = 50;

// Brings a heading that is far out of range back near 0..360 (whole turns), so
// the wrapping loop of camera_update stays short.
float reduce_heading(float v) {
    if (!std::isfinite(v)) return 0;
    if (v > 3600 || v < -3600) return std::fmod(v, 360.0f);
    return v;
}

}  // namespace

void camera_setup(game& g, float aspect) {
    const level& lv = g.level;
    if (aspect == 0 && canvas().canvas_h != 0) aspect = canvas().canvas_w / canvas().canvas_h;
    if (!(aspect > 0) || !std::isfinite(aspect)) aspect = 4.0f / 3.0f;
    const double theta = double(finite_or_zero(lv.cam_angle)) * PI / 180.0;
    const double gd = double(clampf(finite_or_zero(lv.cam_dist), ZOOM_MIN, ZOOM_MAX)) + 50.0;
    const double h = gd * (std::cos(theta) + std::sin(theta));
    const double l = gd * (std::cos(theta) - std::sin(theta));
    const double tx = finite_or_zero(lv.look_x), tz = finite_or_zero(lv.look_y);
    V3 eye, up;
    if (g.state == STATE_EDIT && top_view) {
        eye = {tx, 2 * gd, tz};
        up = {std::sin(theta - 3 * PI / 4), 0, std::cos(theta - 3 * PI / 4)};
    } else {
        eye = {tx + h, 1.65 * gd, tz + l};
        up = {0, 1, 0};
    }
    // The back-face test uses the eye of the overhead view too, which sees the
    // sides of the blocks from straight above.
    g_cam.eye = Vec3{float(eye.x), float(eye.y), float(eye.z)};
    double p[16], v[16];
    perspective(10.0, aspect, 1.0, 1000.0, p);
    look_at(eye, V3{tx, 0, tz}, up, v);
    mul(p, v, g_cam.proj);
    for (int i = 0; i < 16; ++i) g_cam.model[i] = (i % 5 == 0) ? 1.0 : 0.0;

    if (graphics_has_gl()) {
        GLint vp[4];
        glGetIntegerv(GL_VIEWPORT, vp);
        for (int i = 0; i < 4; ++i) g_cam.viewport[i] = vp[i];
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(g_cam.proj);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    } else {
        g_cam.viewport[0] = g_cam.viewport[1] = 0;
        g_cam.viewport[2] = driver().width > 0 ? driver().width : 960;
        g_cam.viewport[3] = driver().height > 0 ? driver().height : 720;
    }
}

Vec3 camera_eye() { return g_cam.eye; }

void camera_matrix(double out[16]) { mul(g_cam.proj, g_cam.model, out); }

void camera_viewport(int out[4]) {
    for (int i = 0; i < 4; ++i) out[i] = g_cam.viewport[i];
}

Vec3 project_to_window(Vec3 p) {
    const int* vp = g_cam.viewport;
    double m[16];
    mul(g_cam.proj, g_cam.model, m);
    const double in[4] = {p.x, p.y, p.z, 1.0};
    double c[4];
    for (int row = 0; row < 4; ++row)
        c[row] = m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2] + m[12 + row] * in[3];
    if (c[3] == 0) return Vec3{};
    const double nx = c[0] / c[3], ny = c[1] / c[3], nz = c[2] / c[3];
    return Vec3{float((nx + 1) / 2 * vp[2]), float(vp[3] - (ny + 1) / 2 * vp[3]),
                float((nz + 1) / 2)};
}

Vec3 unproject_to_plane(float px, float py, float h) {
    const int* vp = g_cam.viewport;
    if (vp[2] <= 0 || vp[3] <= 0) return Vec3{};
    double m[16], inv[16];
    mul(g_cam.proj, g_cam.model, m);
    if (!invert(m, inv)) return Vec3{};
    // Window point (vp.x + px, vp.y + vp.h - py) in normalised device units.
    const double nx = 2.0 * double(px) / vp[2] - 1.0;
    const double ny = 2.0 * (double(vp[3]) - double(py)) / vp[3] - 1.0;
    V3 pts[2];
    for (int k = 0; k < 2; ++k) {
        const double in[4] = {nx, ny, 2.0 * k - 1.0, 1.0};
        double out[4];
        for (int row = 0; row < 4; ++row)
            out[row] = inv[row] * in[0] + inv[4 + row] * in[1] + inv[8 + row] * in[2] +
                       inv[12 + row] * in[3];
        if (out[3] == 0) return Vec3{};
        pts[k] = {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
    }
    const V3 o = pts[0];
    const V3 d = normalized(sub(pts[1], pts[0]));
    const double t = d.y != 0 ? -(o.y - h) / d.y : -1.0;
    return Vec3{float(o.x + t * d.x), float(o.y + t * d.y), float(o.z + t * d.z)};
}

void camera_update(level& lv, game& g) {
    lv.zoom_target = clampf(finite_or_zero(lv.zoom_target), ZOOM_MIN, ZOOM_MAX);
    float d = clampf(finite_or_zero(lv.cam_dist), ZOOM_MIN, ZOOM_MAX);
    if (d < lv.zoom_target)
        d = std::min(d + 2.0f, lv.zoom_target);
    else
        d = std::max(d - 2.0f, lv.zoom_target);
    lv.cam_dist = d;

    float heading = reduce_heading(lv.cam_angle);
    float target = reduce_heading(lv.cam_angle_target);
    if (std::fabs(heading - target) < 1)
        target += float(int(g.keys[KEY_RIGHT] != 0) - int(g.keys[KEY_LEFT] != 0)) * 45.0f;
    while (target < 0 || heading < 0) {
        target += 360;
        heading += 360;
    }
    if (target >= 360 && heading >= 360) {
        target -= 360;
        heading -= 360;
    }
    // Five degrees a frame, never past the target.
    if (heading < target)
        heading = std::min(heading + 5.0f, target);
    else if (heading > target)
        heading = std::max(heading - 5.0f, target);
    lv.cam_angle = heading;
    lv.cam_angle_target = target;
}

void camera_event(level& lv, game& g, const Event& e) {
    switch (e.kind) {
    case EV_MOUSEMOVE:
        if (e.button == 4) {  // exactly the right button held: pan
            const Vec3 p0 = unproject_to_plane(e.raw_x - e.raw_dx, e.raw_y - e.raw_dy, 1.25f);
            const Vec3 p1 = unproject_to_plane(e.raw_x, e.raw_y, 1.25f);
            const float mx = p1.x - p0.x, mz = p1.z - p0.z;
            if (std::isfinite(mx) && std::isfinite(mz)) {
                lv.look_x -= mx;
                lv.look_y -= mz;
            }
            return;
        }
        [[fallthrough]];
    case EV_MOUSEDOWN:
    case EV_MOUSEUP: {
        const Vec3 p = unproject_to_plane(e.raw_x, e.raw_y, 1.25f);
        if (std::isfinite(p.x) && std::isfinite(p.z)) {
            lv.mouse_x = p.x;
            lv.mouse_y = p.z;
        }
        return;
    }
    case EV_WHEEL:
        if (e.dy < 0) lv.zoom_target = std::max(lv.zoom_target - 5.0f, ZOOM_MIN);
        if (e.dy > 0) lv.zoom_target = std::min(lv.zoom_target + 5.0f, ZOOM_MAX);
        return;
    case EV_KEYDOWN: {
        const bool room = std::fabs(lv.cam_angle - lv.cam_angle_target) < 360;
        if (e.key == KEY_LEFT && !g.keys[KEY_LEFT] && room) lv.cam_angle_target -= 45;
        if (e.key == KEY_RIGHT && !g.keys[KEY_RIGHT] && room) lv.cam_angle_target += 45;
        if (e.key == KEY_UP || e.key == KEY_DOWN) top_view = !top_view;
        return;
    }
    default:
        return;
    }
}
