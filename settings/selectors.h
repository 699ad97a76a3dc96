#pragma once

#include <array>

// The output-parameter selectors of the main window, in the order their
// fragments go on the encoder's command line. Everything that knows about
// the selectors (the window's layout, the controller, the settings upgrade,
// the tests) takes them from this one table.
namespace Selectors {

enum class Page { Video, Audio };

struct Selector {
    int tag;                 // names the selector in cmbex_itemindex
    const char *optionTable; // lists its entries: cmbex_index, cmbex_name, cmbex_cmd
    const char *controlName; // object name of its drop-down
    const char *captionName; // object name of the caption beside it
    const char *caption;
    Page page;
    int row;          // on its page: 0 or 1
    int captionLeft;  // where the caption and the drop-down start on the row
    int selectorLeft;
};

inline constexpr std::array<Selector, 9> All{{
    {1, "cmbex_vdocodec", "JvCmbVdo1", "JvLabel1", "Video Codec", Page::Video, 0, 5, 72},
    {2, "cmbex_vdobitrate", "JvCmbVdo2", "JvLabel2", "Video Bitrate", Page::Video, 0, 196, 265},
    {3, "cmbex_vdosize", "JvCmbVdo3", "JvLabel3", "Video Size", Page::Video, 0, 390, 445},
    {4, "cmbex_vdofps", "JvCmbVdo4", "JvLabel4", "Video Frame Rate", Page::Video, 1, 5, 97},
    {5, "cmbex_vdoaspect", "JvCmbVdo5", "JvLabel5", "Width Ratio", Page::Video, 1, 221, 284},
    {6, "cmbex_adocodec", "JvCmbAdo1", "JvLabel6", "Audio Codec", Page::Audio, 0, 5, 72},
    {7, "cmbex_adobitrate", "JvCmbAdo2", "JvLabel7", "Audio Bitrate", Page::Audio, 0, 196, 265},
    {8, "cmbex_adochannels", "JvCmbAdo3", "JvLabel8", "Audio Channel", Page::Audio, 0, 390, 466},
    {9, "cmbex_adofreq", "JvCmbAdo4", "JvLabel9", "Sampling Frequency", Page::Audio, 1, 5, 107},
}};

constexpr int Count = static_cast<int>(All.size());

// The selector with a Tag; throws std::invalid_argument for a Tag not in the table.
const Selector &byTag(int tag);

} // namespace Selectors
