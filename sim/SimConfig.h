#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xruvo_sim {

// How the simulated ECR starts and how slowly it works. All times are in virtual or real
// milliseconds of the clock handed to the engine.
struct SimConfig {
  std::int64_t jeFreeLines = 150000;
  std::int64_t jeCapacity = 250000;
  int lastReceiptNumber = 0;  // receipts are numbered from 1 within each Z
  int lastZNumber = 0;
  int lastNonFiscalNumber = 0;
  std::string fiscalSeries = "XR0012345678";
  std::vector<std::string> header = {"SC DEMO MAGAZIN SRL", "STR. EXEMPLU NR. 1, ORAS",
                                     "CIF: RO1234567"};

  std::int64_t answerDelayMs = 0;        // before the first byte of every answer
  std::int64_t byteTimeUs = 0;           // pacing; 87 is the wire time at 115,200 bit/s
  std::int64_t reportMs = 0;             // printing time of Z, X, MF and JE reports
  std::int64_t typedReportMs = 8000;     // "2202"/"2203": lone ACK, then this long busy
  std::int64_t exportPrepareMs = 10000;  // "6416" until the archive is ready
  std::size_t exportChunkBytes = 240;    // bytes per "7403060" piece
  std::string exportArchive;             // empty: a small ZIP is made for the month asked
};

}  // namespace xruvo_sim
