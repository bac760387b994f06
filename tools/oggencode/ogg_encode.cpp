#include "ogg_encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

std::string OggEncode(const std::vector<int16_t>& samples, int rate, int channels, float quality) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
    vorbis_info_clear(&info);
    return {};
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1234);

  std::string file;
  ogg_page page;
  auto takePages = [&](bool flush) {
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
      file.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
      file.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
    }
  };
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codeHeader);
  takePages(true);

  const size_t frames = samples.size() / static_cast<size_t>(channels);
  size_t done = 0;
  bool ended = false;
  while (!ended) {
    const size_t step = std::min<size_t>(1024, frames - done);
    if (step == 0) {
      vorbis_analysis_wrote(&dsp, 0);
      ended = true;
    } else {
      float** input = vorbis_analysis_buffer(&dsp, static_cast<int>(step));
      for (size_t i = 0; i < step; ++i) {
        for (int c = 0; c < channels; ++c) {
          input[c][i] = samples[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0f;
        }
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(step));
      done += step;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        takePages(false);
      }
    }
  }
  takePages(true);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return file;
}
