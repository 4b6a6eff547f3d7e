#include "base/ProcessorFeatures.h"

namespace filamorph {

const ProcessorFeatures& processorFeatures() {
  static const ProcessorFeatures features = [] {
    ProcessorFeatures found;
#if defined(__x86_64__) || defined(__i386__)
    found.avx = __builtin_cpu_supports("avx");
    found.avx2 = __builtin_cpu_supports("avx2");
    found.avx512f = __builtin_cpu_supports("avx512f");
    found.avx512vl = __builtin_cpu_supports("avx512vl");
    found.avx512bw = __builtin_cpu_supports("avx512bw");
    found.avx512dq = __builtin_cpu_supports("avx512dq");
#endif
    return found;
  }();
  return features;
}

}  // namespace filamorph
