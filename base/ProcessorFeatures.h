#ifndef FILAMORPH_BASE_PROCESSORFEATURES_H
#define FILAMORPH_BASE_PROCESSORFEATURES_H
// The vector instructions of the processor running the program, asked once:
// every loop compiled for several instruction sets chooses from here.

namespace filamorph {

struct ProcessorFeatures {
  bool avx = false;
  bool avx2 = false;
  bool avx512f = false;
  bool avx512vl = false;
  bool avx512bw = false;
  bool avx512dq = false;
};

const ProcessorFeatures& processorFeatures();

}  // namespace filamorph

#endif  // FILAMORPH_BASE_PROCESSORFEATURES_H
