#include "Preview.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "Text.h"

namespace skin {

namespace {

// The window's texts ask for families this desktop does not have; they fall back to
// sans-serif, as the installer's font rule does.
constexpr const char* kUiFamily = "sans-serif";

void Image(cairo_t* cr, const Canvas& img, double x, double y, double w = -1, double h = -1) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    if (w > 0) {
        cairo_scale(cr, w / img.width(), h / img.height());
    }
    cairo_set_source_surface(cr, img.surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
    cairo_paint(cr);
    cairo_restore(cr);
}

void Text(cairo_t* cr, const std::string& text, double x, double y, double px, unsigned rgb,
          bool bold = false, Anchor anchor = Anchor::TopLeft) {
    TextStyle style;
    style.family = kUiFamily;
    style.px = px;
    style.bold = bold;
    style.colour = Hex(rgb);
    DrawText(cr, text, x, y, style, anchor);
}

void MainButton(cairo_t* cr, const Canvas& img, const std::string& caption, double x, double y,
                double w = 200, double h = 50) {
    Image(cr, img, x, y, w, h);
    Text(cr, caption, x + w / 2, y + h / 2, 20, 0xFFFFFF, true, Anchor::Centre);
}

void LowerPanel(cairo_t* cr, int height) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 0, 312, 600, height - 312);
    cairo_fill(cr);
}

Canvas Screen(const Skin& s, int screen, bool ticked, int progress = 37) {
    const int height = screen == 4 ? 500 : 422;
    Canvas c(600, height);
    cairo_t* cr = c.cr();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    switch (screen) {
        case 1:
            Image(cr, s.full131, 0, 0);
            Text(cr, "安装环境检测中...", 252, 284, 14, 0x666666);
            Image(cr, s.spinner[4], 292, 260);
            break;
        case 2:
            Image(cr, s.full131, 0, 0);
            Text(cr, "已安装最新版", 251, 264, 14, 0x666666);
            MainButton(cr, s.main150, "立即启动", 200, 308);
            break;
        case 5:
            Image(cr, s.full131, 0, 0);
            Text(cr, "已更新到 版本 V2.4.1", 234, 264, 14, 0x666666);
            MainButton(cr, s.main149, "升级", 200, 308);
            break;
        case 3:
        case 4: {
            Image(cr, s.header148, 0, 0);
            LowerPanel(cr, height);
            const int row = screen == 3 ? 386 : 464;
            MainButton(cr, ticked ? s.main149 : s.main160, "快速安装", 200, 342);
            if (screen == 3) {
                Text(cr, "自定义安装", 488, 387, 14, 0x666666);
                Image(cr, s.down140, 488 + 92 - 8, 387 + 7 - 3);
            } else {
                Image(cr, s.path151, 90, 412, 350, 32);
                Text(cr, "/home/lin/.local/share/orvikcl...", 100, 412 + 16, 13.33, 0x383838, false,
                     Anchor::LeftMiddle);
                Image(cr, ticked ? s.browse138 : s.browse136, 450, 412, 60, 32);
                Text(cr, "收起", 538, 465, 14, 0x666666);
                Image(cr, s.up139, 538 + 42 - 6, 465 + 7 - 3);
            }
            Image(cr, ticked ? s.ticked155 : s.empty156, 20, row, 16, 16);
            Text(cr, "同意用户许可协议", 46, row, 14, 0x666666);
            break;
        }
        case 6: {
            Image(cr, s.header148, 0, 0);
            LowerPanel(cr, height);
            const double e = (progress + 10) * 5;
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            cairo_set_line_width(cr, 14);
            SetColour(cr, Hex(0xEBECF0));
            cairo_move_to(cr, 50, 368);
            cairo_line_to(cr, 550, 368);
            cairo_stroke(cr);
            SetColour(cr, Hex(0x00AFFF));
            cairo_move_to(cr, 50, 368);
            cairo_line_to(cr, e, 368);
            cairo_stroke(cr);
            Image(cr, s.marker135, e - s.marker135.width(), 335);
            Text(cr, std::to_string(progress) + " %", e + 20, 335 + 9.5, 10.67, 0x4B4B4B, false,
                 Anchor::Centre);
            Text(cr, "安装文件下载中...", 300, 395, 13, 0x4B4B4B, false, Anchor::Centre);
            break;
        }
        case 8: {
            Image(cr, s.licence159, 0, 0);
            // What the page view shows with its default styles.
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_rectangle(cr, 30, 50, 540, 278);
            cairo_fill(cr);
            TextStyle h1;
            h1.family = "serif";
            h1.px = 26;
            h1.bold = true;
            DrawText(cr, "Orvik云电脑用户许可协议", 38, 62, h1);
            TextStyle p;
            p.family = "serif";
            p.px = 16;
            const char* lines[] = {"欢迎您使用Orvik云电脑客户端软件及相关服务。",
                                   "本协议是您与服务提供方之间就下载、安装、使用本软",
                                   "件及相关服务所订立的协议。请您在使用前仔细阅读本",
                                   "协议的全部内容，特别是以加粗方式提示您注意的条款。",
                                   "一、协议的接受",
                                   "1.1 您点击同意、勾选同意或实际使用本服务，"};
            double y = 112;
            for (const char* line : lines) {
                DrawText(cr, line, 38, y, p);
                y += 32;
            }
            MainButton(cr, s.main150, "确定", 200, 352);
            return c;
        }
        default:
            break;
    }
    Image(cr, s.close152, 573, 14, 13, 13);
    return c;
}

Canvas Dialog(const Skin& s, bool notice) {
    Canvas c(356, 208);
    cairo_t* cr = c.cr();
    SetColour(cr, Hex(0x6C6C6C));
    cairo_paint(cr);
    if (notice) {
        Image(cr, s.face146, 100, 40);
        Text(cr, "下载失败！", 210, 65, 16, 0xC1C1C1, false, Anchor::Centre);
        MainButton(cr, s.main149, "确认", 125, 123, 105, 38);
    } else {
        PangoLayout* layout = pango_cairo_create_layout(cr);
        PangoFontDescription* font = pango_font_description_from_string("sans-serif 12");
        pango_font_description_set_absolute_size(font, 16 * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_font_description_free(font);
        pango_layout_set_width(layout, 286 * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_CHAR);
        pango_layout_set_text(layout, "vode正在运行中，升级过程需要退出程序，是否继续？", -1);
        SetColour(cr, Hex(0xC1C1C1));
        cairo_move_to(cr, 35, 45);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
        MainButton(cr, s.main150, "继续", 65, 123, 105, 38);
        Text(cr, "取消", 186 + 52.5, 123 + 19, 18, 0x727272, false, Anchor::Centre);
    }
    return c;
}

Canvas ContactSheet(const Skin& s) {
    Canvas c(1240, 1240);
    cairo_t* cr = c.cr();
    // Checker board, so transparency shows.
    for (int y = 0; y < 1240; y += 10) {
        for (int x = 0; x < 1240; x += 10) {
            const bool dark = ((x + y) / 10) % 2 == 0;
            cairo_set_source_rgb(cr, dark ? 0.86 : 0.95, dark ? 0.86 : 0.95, dark ? 0.86 : 0.95);
            cairo_rectangle(cr, x, y, 10, 10);
            cairo_fill(cr);
        }
    }
    auto label = [cr](const std::string& t, double x, double y) {
        Text(cr, t, x, y, 12, 0x202020, true);
    };
    Image(cr, s.full131, 10, 24);
    label("PNG 131", 10, 6);
    Image(cr, s.header148, 620, 24);
    label("PNG 148", 620, 6);
    Image(cr, s.licence159, 10, 470);
    label("PNG 159", 10, 452);
    Image(cr, s.panel132, 620, 360, 324, 77.5);
    label("JPG 132 (half size)", 620, 342);

    // Small pictures at four times their size, then at their own size beside.
    struct Item {
        const Canvas* img;
        const char* name;
    };
    const Item items[] = {{&s.marker135, "135"}, {&s.browse136, "136"}, {&s.browse138, "138"},
                          {&s.up139, "139"},     {&s.down140, "140"},   {&s.face146, "146"},
                          {&s.close152, "152"},  {&s.close153, "153"},  {&s.ticked155, "155"},
                          {&s.empty156, "156"}};
    double x = 620, y = 470, rowHeight = 0;
    for (const Item& it : items) {
        const double w = it.img->width() * 4, h = it.img->height() * 4;
        if (x + w + it.img->width() + 20 > 1230) {
            x = 620;
            y += rowHeight + 30;
            rowHeight = 0;
        }
        rowHeight = std::max(rowHeight, h);
        label(it.name, x, y);
        Image(cr, *it.img, x, y + 18, w, h);
        Image(cr, *it.img, x + w + 6, y + 18);
        x += w + it.img->width() + 24;
    }
    y = 910;
    label("PNG 149 150 160, PNG 151", 10, y);
    Image(cr, s.main149, 10, y + 18);
    Image(cr, s.main150, 220, y + 18);
    Image(cr, s.main160, 430, y + 18);
    Image(cr, s.path151, 10, y + 78);
    label("GIF 157 frames (x3)", 10, y + 130);
    for (std::size_t i = 0; i < s.spinner.size(); ++i) {
        Image(cr, s.spinner[i], 10 + static_cast<double>(i) * 64, y + 148, 60, 60);
    }
    Image(cr, s.icon128, 1130, 360, 96, 96);
    label("ICON 128", 1130, 342);
    return c;
}

}  // namespace

bool WritePreview(const Skin& s, const std::string& dir) {
    bool ok = true;
    ok &= Screen(s, 1, false).WritePng(dir + "/screen-1-checking.png");
    ok &= Screen(s, 2, false).WritePng(dir + "/screen-2-up-to-date.png");
    ok &= Screen(s, 3, false).WritePng(dir + "/screen-3-quick-install.png");
    ok &= Screen(s, 3, true).WritePng(dir + "/screen-3-quick-install-ticked.png");
    ok &= Screen(s, 4, true).WritePng(dir + "/screen-4-custom-install.png");
    ok &= Screen(s, 5, false).WritePng(dir + "/screen-5-upgrade.png");
    ok &= Screen(s, 6, false, 37).WritePng(dir + "/screen-6-downloading.png");
    ok &= Screen(s, 6, false, 0).WritePng(dir + "/screen-6-downloading-0.png");
    ok &= Screen(s, 6, false, 100).WritePng(dir + "/screen-6-downloading-100.png");
    ok &= Screen(s, 8, false).WritePng(dir + "/screen-8-licence.png");
    ok &= Dialog(s, true).WritePng(dir + "/dialog-notice.png");
    ok &= Dialog(s, false).WritePng(dir + "/dialog-confirm.png");
    ok &= ContactSheet(s).WritePng(dir + "/contact-sheet.png");
    return ok;
}

}  // namespace skin
