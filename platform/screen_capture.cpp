#include "platform/screen_capture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>

namespace ruzd::platform {
namespace {

// Xlib's default error handler ends the process; a failed read of the screen is only a failure.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
struct ImageDestroyer {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

// The position of a mask's lowest bit and its width, to scale a channel to 8 bits.
struct Channel {
    explicit Channel(unsigned long mask) : mask_(mask) {
        while (mask != 0 && (mask & 1) == 0) {
            mask >>= 1;
            ++shift_;
        }
        while ((mask & 1) != 0) {
            mask >>= 1;
            ++width_;
        }
    }
    uint8_t Of(unsigned long pixel) const {
        if (width_ == 0) {
            return 0;
        }
        const unsigned long value = (pixel & mask_) >> shift_;
        const unsigned long max = (1ul << width_) - 1;
        return static_cast<uint8_t>(value * 255 / max);
    }
    unsigned long mask_;
    int shift_ = 0;
    int width_ = 0;
};

}  // namespace

ScreenCapture CaptureScreen(ScreenBits& screen) {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) {
        return ScreenCapture::kNoScreen;
    }
    const auto previous_handler = XSetErrorHandler(IgnoreXError);
    const int number = DefaultScreen(display.get());
    const Window root = RootWindow(display.get(), number);
    XWindowAttributes attributes{};
    std::unique_ptr<XImage, ImageDestroyer> image;
    if (XGetWindowAttributes(display.get(), root, &attributes) != 0) {
        image.reset(XGetImage(display.get(), root, 0, 0, attributes.width, attributes.height,
                              AllPlanes, ZPixmap));
    }
    XSync(display.get(), False);
    XSetErrorHandler(previous_handler);
    if (!image) {
        return ScreenCapture::kNoScreen;
    }
    const Visual* visual = attributes.visual;
    if (visual == nullptr || visual->c_class != TrueColor ||
        (image->bits_per_pixel != 24 && image->bits_per_pixel != 32)) {
        return ScreenCapture::kUnsupportedFormat;
    }
    const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
    screen.width = image->width;
    screen.height = image->height;
    const uint32_t row_bytes = RowBytes24(image->width);
    screen.bits.assign(static_cast<size_t>(row_bytes) * image->height, 0);
    for (int y = 0; y < image->height; ++y) {
        uint8_t* row = screen.bits.data() + static_cast<size_t>(image->height - 1 - y) * row_bytes;
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image.get(), x, y);
            row[3 * x] = blue.Of(pixel);
            row[3 * x + 1] = green.Of(pixel);
            row[3 * x + 2] = red.Of(pixel);
        }
    }
    return ScreenCapture::kCaptured;
}

}  // namespace ruzd::platform
