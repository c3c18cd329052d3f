#include "tools/mirel/ScenePictures.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "data/PictureDecoder.h"
#include "data/Stream.h"
#include "platform/Exception.h"

namespace {

// The colour of palette entry i (opaque black for an index past the palette).
// Only a palette that carries transparency (TBitmap::PaletteHasAlpha) gives
// its alpha.
TBitmapColor PaletteColor(const TBitmap& bitmap, uint8_t index, bool paletteAlpha) {
    const std::vector<TBitmapColor>& palette = bitmap.Palette();
    if (palette.empty()) return {index, index, index, 255}; // grey levels
    if (index >= palette.size()) return {0, 0, 0, 255};
    TBitmapColor c = palette[index];
    if (!paletteAlpha) c.alpha = 255;
    return c;
}

// Pixel x of row `row` (0 = top) of a decoded picture as RGBA.
TBitmapColor BitmapPixel(const TBitmap& bitmap, int32_t row, int32_t x, bool paletteAlpha) {
    const uint8_t* p = bitmap.Row(row);
    switch (bitmap.BitsPerPixel()) {
    case 1:
        return PaletteColor(bitmap, uint8_t((p[x / 8] >> (7 - x % 8)) & 1), paletteAlpha);
    case 4:
        return PaletteColor(bitmap, uint8_t((p[x / 2] >> (x % 2 ? 0 : 4)) & 15), paletteAlpha);
    case 8:
        return PaletteColor(bitmap, p[x], paletteAlpha);
    case 15:
    case 16: {
        const uint16_t w = uint16_t(p[2 * x] | (p[2 * x + 1] << 8));
        auto five = [](int v) { return uint8_t((v << 3) | (v >> 2)); };
        return {five(w & 31), five((w >> 5) & 31), five((w >> 10) & 31), 255};
    }
    case 24:
        return {p[3 * x], p[3 * x + 1], p[3 * x + 2], 255};
    default:
        return {p[4 * x], p[4 * x + 1], p[4 * x + 2], p[4 * x + 3]};
    }
}

// ---- Fourier transforms over one line of a picture ----

using Complex = std::complex<double>;

bool PowerOfTwo(size_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// The first half of the n-th roots of unity, e^(sign 2 pi i k / n).
std::vector<Complex> Roots(size_t n, int sign) {
    std::vector<Complex> roots(n / 2);
    for (size_t k = 0; k < n / 2; k++)
        roots[k] = std::polar(1.0, sign * 2.0 * M_PI * double(k) / double(n));
    return roots;
}

// In-place transform of a line whose length n is a power of two, unscaled,
// with Roots(n, sign) (sign -1 forward, +1 inverse).
void Fft(std::vector<Complex>& line, const std::vector<Complex>& roots) {
    const size_t n = line.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) std::swap(line[i], line[j]);
    }
    // The butterflies in plain arithmetic: std::complex's product checks
    // for infinities at every step.
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t half = len / 2, stride = n / len;
        for (size_t i = 0; i < n; i += len)
            for (size_t k = 0; k < half; k++) {
                const Complex w = roots[k * stride], b = line[i + k + half];
                const double re = b.real() * w.real() - b.imag() * w.imag();
                const double im = b.real() * w.imag() + b.imag() * w.real();
                const Complex a = line[i + k];
                line[i + k] = {a.real() + re, a.imag() + im};
                line[i + k + half] = {a.real() - re, a.imag() - im};
            }
    }
}

// The transform of lines of one length, in either direction. Lengths that
// are not powers of two become a convolution of power-of-two length
// (Bluestein's method, from jk = (j^2 + k^2 - (k - j)^2) / 2); its chirp and
// the spectrum of its kernel are the same for every line, so they are made
// once.
class TLineTransform {
public:
    TLineTransform(size_t n, int sign) : n_(n) {
        if (n < 2) return;
        if (PowerOfTwo(n)) {
            roots_ = Roots(n, sign);
            return;
        }
        while (m_ < 2 * n - 1)
            m_ <<= 1;
        roots_ = Roots(m_, -1);
        inverseRoots_ = Roots(m_, +1);
        // e^(sign pi i j^2 / n), with j^2 taken modulo 2n to keep the angle small.
        chirp_.resize(n);
        for (size_t j = 0; j < n; j++)
            chirp_[j] = std::polar(1.0, sign * M_PI * double((j * j) % (2 * n)) / double(n));
        kernel_.assign(m_, 0.0);
        for (size_t j = 0; j < n; j++) {
            kernel_[j] = std::conj(chirp_[j]);
            if (j > 0) kernel_[m_ - j] = kernel_[j];
        }
        Fft(kernel_, roots_);
    }

    // Transforms line (n values) in place, unscaled.
    void operator()(std::vector<Complex>& line) {
        if (n_ < 2) return;
        if (chirp_.empty()) return Fft(line, roots_);
        work_.assign(m_, 0.0);
        for (size_t j = 0; j < n_; j++)
            work_[j] = line[j] * chirp_[j];
        Fft(work_, roots_);
        for (size_t i = 0; i < m_; i++)
            work_[i] *= kernel_[i];
        Fft(work_, inverseRoots_);
        for (size_t k = 0; k < n_; k++)
            line[k] = chirp_[k] * work_[k] / double(m_);
    }

private:
    size_t n_;
    size_t m_ = 1;
    std::vector<Complex> roots_, inverseRoots_; // of the power-of-two length transformed
    std::vector<Complex> chirp_, kernel_, work_;
};

// Transforms a width x height grid (rows of `width`) along both axes.
void Transform2D(std::vector<Complex>& grid, size_t width, size_t height, int sign) {
    std::vector<Complex> line(width);
    TLineTransform rows(width, sign);
    for (size_t y = 0; y < height; y++) {
        std::copy_n(grid.begin() + ptrdiff_t(y * width), width, line.begin());
        rows(line);
        std::copy_n(line.begin(), width, grid.begin() + ptrdiff_t(y * width));
    }
    line.assign(height, 0.0);
    TLineTransform columns(height, sign);
    for (size_t x = 0; x < width; x++) {
        for (size_t y = 0; y < height; y++)
            line[y] = grid[y * width + x];
        columns(line);
        for (size_t y = 0; y < height; y++)
            grid[y * width + x] = line[y];
    }
}

} // namespace

TScenePicture DecodeScenePicture(const uint8_t* data, size_t size) {
    TBitmap bitmap;
    TBitmapTarget target(bitmap);
    TReadOnlyMemoryStream stream(data, int64_t(size));
    DecodePicture(stream, target);

    const bool paletteAlpha = bitmap.PaletteHasAlpha();
    TScenePicture picture;
    picture.Width = bitmap.Width();
    picture.Height = bitmap.Height();
    // Keep alpha only where some pixel is not opaque.
    bool alpha = false;
    if (bitmap.BitsPerPixel() == 32 || paletteAlpha)
        for (int32_t r = 0; r < picture.Height && !alpha; r++)
            for (int32_t x = 0; x < picture.Width && !alpha; x++)
                alpha = BitmapPixel(bitmap, r, x, paletteAlpha).alpha < 255;
    picture.Channels = alpha ? 4 : 3;
    picture.Pixels.resize(size_t(picture.Width) * size_t(picture.Height) * size_t(picture.Channels));
    uint8_t* out = picture.Pixels.data();
    // Bottom row first, as scene files store pictures.
    for (int32_t r = picture.Height - 1; r >= 0; r--)
        for (int32_t x = 0; x < picture.Width; x++) {
            const TBitmapColor c = BitmapPixel(bitmap, r, x, paletteAlpha);
            *out++ = c.red;
            *out++ = c.green;
            *out++ = c.blue;
            if (alpha) *out++ = c.alpha;
        }
    return picture;
}

TScenePicture HeightsFromNormals(const TScenePicture& normals, float bumpScale) {
    const size_t w = size_t(normals.Width), h = size_t(normals.Height), n = w * h;
    const size_t channels = size_t(normals.Channels);
    // The slopes (height change per pixel to the right and upwards) of the
    // surfaces the normals describe: a normal (x, y, z) belongs to a surface
    // with slopes -x/z and -y/z. Nearly flat-on normals are limited to a
    // slope of 10.
    auto slopes = [&](size_t x, size_t y, double& sx, double& sy) {
        const uint8_t* p = &normals.Pixels[(y * w + x) * channels];
        const double z = std::max(p[2] / 127.5 - 1.0, 0.1);
        sx = -(p[0] / 127.5 - 1.0) / z;
        sy = -(p[1] / 127.5 - 1.0) / z;
    };
    // The height differences between neighbouring pixels, from the slopes at
    // both ends; the picture tiles, so the last column's right neighbour is
    // the first column.
    std::vector<Complex> gx(n), gy(n);
    for (size_t y = 0; y < h; y++)
        for (size_t x = 0; x < w; x++) {
            double sx, sy, rightX, rightY, upX, upY;
            slopes(x, y, sx, sy);
            slopes((x + 1) % w, y, rightX, rightY);
            slopes(x, (y + 1) % h, upX, upY);
            gx[y * w + x] = (sx + rightX) / 2.0;
            gy[y * w + x] = (sy + upY) / 2.0;
        }
    // The heights whose differences come closest to those (least squares):
    // in frequency space a difference to the right multiplies by
    // (e^(2 pi i k / w) - 1), so each frequency solves on its own. The
    // heights take the place of the differences to the right.
    Transform2D(gx, w, h, -1);
    Transform2D(gy, w, h, -1);
    std::vector<Complex>& heights = gx;
    for (size_t ky = 0; ky < h; ky++)
        for (size_t kx = 0; kx < w; kx++) {
            const Complex dx = std::polar(1.0, 2.0 * M_PI * double(kx) / double(w)) - 1.0;
            const Complex dy = std::polar(1.0, 2.0 * M_PI * double(ky) / double(h)) - 1.0;
            const double denominator = std::norm(dx) + std::norm(dy);
            const size_t i = ky * w + kx;
            heights[i] = denominator > 1e-12 ? (std::conj(dx) * gx[i] + std::conj(dy) * gy[i]) / denominator
                                             : Complex(0.0);
        }
    gy = std::vector<Complex>();
    Transform2D(heights, w, h, +1);

    // The engine reads a byte b as the height b / 255 * bumpScale pixels;
    // heights that span more than 255 bytes are flattened to fit.
    double lowest = 1e300, highest = -1e300;
    for (const Complex& v : heights) {
        lowest = std::min(lowest, v.real());
        highest = std::max(highest, v.real());
    }
    const double perPixel = double(n) * double(bumpScale) / 255.0; // the inverse transform's scale, too
    double factor = 1.0 / perPixel;
    if ((highest - lowest) * factor > 255.0) factor = 255.0 / (highest - lowest);
    TScenePicture out;
    out.Width = normals.Width;
    out.Height = normals.Height;
    out.Channels = 3;
    out.Pixels.resize(n * 3);
    for (size_t i = 0; i < n; i++) {
        const double v = std::clamp((heights[i].real() - lowest) * factor, 0.0, 255.0);
        std::fill_n(&out.Pixels[i * 3], 3, uint8_t(std::lround(v)));
    }
    return out;
}
