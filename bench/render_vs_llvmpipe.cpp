// Our Device against Mesa's llvmpipe, side by side in one run: the same lit sphere (a triangle
// list of 100,000 and of 1,000,000 triangles covering about 28 % of a 1280 x 720 frame) drawn by
// both, each with one directional light evaluated per vertex (diffuse, ambient and a specular
// highlight), depth test and back-face culling. llvmpipe draws through EGL without a surface
// into a framebuffer object, with the vertices in a buffer object uploaded once.
//
// The two renderers take turns frame by frame so that the load other processes put on the
// machine falls on both alike; it prints the median frame time of each and the speed-up
// (llvmpipe's time over the Device's: above 1 means the Device is faster).
// Usage: bench_render_vs_llvmpipe [frames] (default 15; the 1M case draws a third as many).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "render/device.h"

namespace vorna {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr float kCameraDistance = 3.2f;  // a unit sphere then covers about 28 % of the frame

// A unit UV sphere as a triangle list, `rings` x `segments` quads of two triangles, clockwise
// seen from outside.
std::vector<BlendedVertex> Sphere(int rings, int segments) {
  std::vector<BlendedVertex> grid(static_cast<size_t>(rings + 1) * (segments + 1));
  for (int i = 0; i <= rings; ++i) {
    const float theta = kPi * static_cast<float>(i) / static_cast<float>(rings);
    for (int j = 0; j <= segments; ++j) {
      const float phi = 2.0f * kPi * static_cast<float>(j) / static_cast<float>(segments);
      const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta),
                   std::sin(theta) * std::sin(phi)};
      grid[static_cast<size_t>(i) * (segments + 1) + j] = {n, 1.0f, n, 0.0f, 0.0f};
    }
  }
  std::vector<BlendedVertex> list;
  list.reserve(static_cast<size_t>(rings) * segments * 6);
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      const size_t a = static_cast<size_t>(i) * (segments + 1) + j, b = a + segments + 1;
      for (size_t k : {a, a + 1, b + 1, a, b + 1, b}) list.push_back(grid[k]);
    }
  }
  return list;
}

Matrix Projection() {
  const float ys = 1.0f / std::tan(kPi / 8.0f);
  Matrix p{};
  p.m[0][0] = ys / (static_cast<float>(kWidth) / kHeight);
  p.m[1][1] = ys;
  p.m[2][2] = 10.0f / (10.0f - 0.01f);
  p.m[2][3] = 1.0f;
  p.m[3][2] = -0.01f * 10.0f / (10.0f - 0.01f);
  return p;
}

const Matrix kView = Multiply(RotationX(0.4f), Translation(0.0f, 0.0f, kCameraDistance));
const Vec3 kLightDirection{0.6f, -0.5f, 0.62f};
constexpr float kAmbient = 0.376471f;  // 0x60
constexpr float kDiffuse[3] = {0.9f, 0.8f, 0.7f};
constexpr float kSpecular = 0.5f;
constexpr float kPower = 8.0f;

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Share of pixels that are not the black background, to show both really drew the sphere.
double Coverage(const uint8_t* rgba, size_t pixels) {
  size_t covered = 0;
  for (size_t i = 0; i < pixels; ++i) covered += (rgba[i * 4] | rgba[i * 4 + 1]) != 0;
  return static_cast<double>(covered) / static_cast<double>(pixels);
}

class OurDevice {
 public:
  bool Init() {
    device_ = Device::Create(kWidth, kHeight);
    if (device_ == nullptr) return false;
    device_->SetTransform(TransformState::kProjection, Projection());
    device_->SetTransform(TransformState::kView, kView);
    RenderStates& s = device_->render_states();
    s.local_viewer = false;
    s.specular_enable = true;
    s.ambient = 0x00606060;
    Material material;
    material.diffuse = {kDiffuse[0], kDiffuse[1], kDiffuse[2], 1.0f};
    material.ambient = material.diffuse;
    material.specular = {kSpecular, kSpecular, kSpecular, 0.0f};
    material.power = kPower;
    device_->SetMaterial(material);
    device_->SetLight({{0.8f, 0.8f, 0.8f, 0.0f}, {1, 1, 1, 0}, {}, kLightDirection});
    device_->EnableLight(true);
    return true;
  }

  double Frame(const std::vector<BlendedVertex>& triangles) {
    const auto start = std::chrono::steady_clock::now();
    device_->Clear(kClearTarget | kClearDepth, 0xFF000000, 1.0f);
    device_->BeginScene();
    device_->DrawPrimitive(PrimitiveType::kTriangleList, std::span(triangles));
    device_->EndScene();
    return Milliseconds(std::chrono::steady_clock::now() - start);
  }

  double Coverage() const {
    return vorna::Coverage(device_->back_buffer().rgba.data(),
                           static_cast<size_t>(kWidth) * kHeight);
  }

  int threads() const { return device_->thread_count(); }

 private:
  std::unique_ptr<Device> device_;
};

// The same lighting as the Device's with the viewer infinitely far behind the camera. The
// matrices are the Device's row-vector ones, which GL reads as their transposes, so they multiply
// from the left. The depth range 0 .. w becomes GL's -w .. w.
constexpr const char* kVertexShader = R"(
attribute vec3 position;
attribute vec3 normal;
uniform mat4 world_view_projection;
uniform mat3 normal_matrix;
uniform vec3 to_light;
uniform vec3 half_vector;
uniform vec3 diffuse;
uniform float ambient;
uniform float specular;
uniform float power;
varying vec3 colour0;
varying vec3 colour1;
void main() {
  vec4 p = world_view_projection * vec4(position, 1.0);
  gl_Position = vec4(p.x, p.y, 2.0 * p.z - p.w, p.w);
  vec3 n = normal_matrix * normal;
  float d = dot(n, to_light);
  colour0 = clamp(diffuse * ambient + diffuse * 0.8 * clamp(d, 0.0, 1.0), 0.0, 1.0);
  float h = min(dot(n, half_vector), 1.0);
  colour1 = vec3(d > 0.0 && h > 0.0 ? clamp(specular * pow(h, power), 0.0, 1.0) : 0.0);
}
)";

constexpr const char* kFragmentShader = R"(
precision mediump float;
varying vec3 colour0;
varying vec3 colour1;
void main() { gl_FragColor = vec4(min(colour0 + colour1, 1.0), 1.0); }
)";

class Llvmpipe {
 public:
  ~Llvmpipe() {
    if (display_ != EGL_NO_DISPLAY) {
      eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
      eglTerminate(display_);
    }
  }

  // Returns an explanation on failure, null on success.
  const char* Init() {
    // Software rendering whatever GPU the machine has.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    const auto get_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (get_display == nullptr) return "no eglGetPlatformDisplayEXT";
    display_ = get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr)) {
      display_ = EGL_NO_DISPLAY;
      return "no surfaceless EGL display";
    }
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_ES2_BIT, EGL_NONE};
    EGLConfig config;
    EGLint configs = 0;
    if (!eglChooseConfig(display_, config_attributes, &config, 1, &configs) || configs < 1) {
      return "no GLES 2 config";
    }
    if (!eglBindAPI(EGL_OPENGL_ES_API)) return "cannot bind GLES";
    const EGLint context_attributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, context_attributes);
    if (context_ == EGL_NO_CONTEXT) return "cannot create a GLES 2 context";
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
      return "cannot make the context current without a surface";
    }

    GLuint colour, depth, framebuffer;
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kWidth, kHeight);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      return "incomplete framebuffer";
    }
    glViewport(0, 0, kWidth, kHeight);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    const GLuint program = glCreateProgram();
    for (const auto& [type, source] : {std::pair{GL_VERTEX_SHADER, kVertexShader},
                                       std::pair{GL_FRAGMENT_SHADER, kFragmentShader}}) {
      const GLuint shader = glCreateShader(type);
      glShaderSource(shader, 1, &source, nullptr);
      glCompileShader(shader);
      GLint ok = 0;
      glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
      if (!ok) return "shader does not compile";
      glAttachShader(program, shader);
    }
    glBindAttribLocation(program, 0, "position");
    glBindAttribLocation(program, 1, "normal");
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) return "program does not link";
    glUseProgram(program);

    const Matrix projection = Projection();
    const Matrix all = Multiply(kView, projection);
    glUniformMatrix4fv(glGetUniformLocation(program, "world_view_projection"), 1, GL_FALSE,
                       &all.m[0][0]);
    // The view is a rotation and a translation, so its upper 3 x 3 turns normals as well.
    float normal_matrix[9];
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) normal_matrix[r * 3 + c] = kView.m[r][c];
    }
    glUniformMatrix3fv(glGetUniformLocation(program, "normal_matrix"), 1, GL_FALSE, normal_matrix);
    const Vec3 to_light = Normalize(TransformNormal(kLightDirection, kView)) * -1.0f;
    const Vec3 half = Normalize(to_light + Vec3{0.0f, 0.0f, -1.0f});
    glUniform3f(glGetUniformLocation(program, "to_light"), to_light.x, to_light.y, to_light.z);
    glUniform3f(glGetUniformLocation(program, "half_vector"), half.x, half.y, half.z);
    glUniform3f(glGetUniformLocation(program, "diffuse"), kDiffuse[0], kDiffuse[1], kDiffuse[2]);
    glUniform1f(glGetUniformLocation(program, "ambient"), kAmbient);
    glUniform1f(glGetUniformLocation(program, "specular"), kSpecular);
    glUniform1f(glGetUniformLocation(program, "power"), kPower);
    glGenBuffers(1, &buffer_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    return glGetError() == GL_NO_ERROR ? nullptr : "GL error while setting up";
  }

  const char* renderer() const { return reinterpret_cast<const char*>(glGetString(GL_RENDERER)); }

  void Upload(const std::vector<BlendedVertex>& triangles) {
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(triangles.size() * sizeof(BlendedVertex)),
                 triangles.data(), GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(BlendedVertex),
                          reinterpret_cast<const void*>(offsetof(BlendedVertex, position)));
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(BlendedVertex),
                          reinterpret_cast<const void*>(offsetof(BlendedVertex, normal)));
    count_ = static_cast<GLsizei>(triangles.size());
    glFinish();
  }

  // Timed until the pixels are finished, as the Device's frame is at EndScene.
  double Frame() {
    const auto start = std::chrono::steady_clock::now();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLES, 0, count_);
    glFinish();
    return Milliseconds(std::chrono::steady_clock::now() - start);
  }

  double Coverage() const {
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return vorna::Coverage(pixels.data(), static_cast<size_t>(kWidth) * kHeight);
  }

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLContext context_ = EGL_NO_CONTEXT;
  GLuint buffer_ = 0;
  GLsizei count_ = 0;
};

}  // namespace
}  // namespace vorna

int main(int argc, char** argv) {
  using namespace vorna;
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  OurDevice ours;
  Llvmpipe theirs;
  if (!ours.Init()) {
    std::fprintf(stderr, "cannot create the Device\n");
    return 1;
  }
  if (const char* error = theirs.Init()) {
    std::fprintf(stderr, "llvmpipe: %s\n", error);
    return 1;
  }
  std::printf("%d x %d, Device on %d threads, GL renderer: %s\n", kWidth, kHeight, ours.threads(),
              theirs.renderer());
  std::printf("%-12s %12s %12s %8s %10s %10s\n", "triangles", "Device ms", "llvmpipe ms",
              "speed-up", "cover us", "cover them");
  struct Case {
    int rings, segments, frames;
  };
  for (const Case c : {Case{250, 200, frames}, Case{1000, 500, std::max(3, frames / 3)}}) {
    const std::vector<BlendedVertex> triangles = Sphere(c.rings, c.segments);
    theirs.Upload(triangles);
    ours.Frame(triangles);  // warm-up: first-touch of buffers, shader compilation
    theirs.Frame();
    std::vector<double> our_times, their_times;
    for (int i = 0; i < c.frames; ++i) {
      our_times.push_back(ours.Frame(triangles));
      their_times.push_back(theirs.Frame());
    }
    const double a = Median(our_times), b = Median(their_times);
    std::printf("%-12d %12.1f %12.1f %8.2f %9.1f%% %9.1f%%\n", c.rings * c.segments * 2, a, b,
                b / a, ours.Coverage() * 100.0, theirs.Coverage() * 100.0);
  }
  return 0;
}
