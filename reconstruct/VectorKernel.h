#ifndef FILAMORPH_RECONSTRUCT_VECTORKERNEL_H
#define FILAMORPH_RECONSTRUCT_VECTORKERNEL_H
// Loops compiled for the widest vector instructions the processor offers,
// chosen once at the first call.

// The choice is an ordinary function pointer rather than an indirect-function
// symbol: indirect functions are resolved before the sanitizers' runtimes
// start, and crash under them. Every lane of a loop does one cell's own
// arithmetic, so the results do not depend on which compilation runs.

#include "base/ProcessorFeatures.h"

namespace filamorph {

// The 512-bit loops take the byte and word forms too: without them the
// compiler keeps every loop that reads 8-bit pixel states to 256-bit
// vectors, at two thirds of the speed.
inline bool hasWholeAvx512() {
  const ProcessorFeatures& features = processorFeatures();
  return features.avx512f && features.avx512bw && features.avx512dq && features.avx512vl;
}

template <typename Function>
Function widestKernel(Function avx512, Function avx2, Function baseline) {
  if (hasWholeAvx512()) return avx512;
  if (processorFeatures().avx2) return avx2;
  return baseline;
}

}  // namespace filamorph

// Defines `name` from the always-inlined `name##Body`, compiled three times
// on x86 and once elsewhere. `parameters` and `arguments` are parenthesised
// lists.
#if defined(__x86_64__) || defined(__i386__)
#define FILAMORPH_VECTOR_KERNEL(result, name, parameters, arguments)                            \
  [[gnu::target("avx512f,avx512bw,avx512dq,avx512vl")]] static result name##Avx512 parameters { \
    return name##Body arguments;                                                                \
  }                                                                                             \
  [[gnu::target("avx2")]] static result name##Avx2 parameters {                                 \
    return name##Body arguments;                                                                \
  }                                                                                             \
  static result name##Baseline parameters {                                                     \
    return name##Body arguments;                                                                \
  }                                                                                             \
  result name parameters {                                                                      \
    static const auto chosen = widestKernel(&name##Avx512, &name##Avx2, &name##Baseline);       \
    return chosen arguments;                                                                    \
  }
#else
#define FILAMORPH_VECTOR_KERNEL(result, name, parameters, arguments) \
  result name parameters {                                           \
    return name##Body arguments;                                     \
  }
#endif

// Before a loop whose iterations the compiler may take as independent: its
// stores touch nothing its other iterations read. GCC then vectorizes loops
// it would otherwise leave scalar for want of proof; Clang is left to its
// own checks, since it reports a hint it cannot follow as an error.
#if defined(__GNUC__) && !defined(__clang__)
#define FILAMORPH_INDEPENDENT_ITERATIONS _Pragma("GCC ivdep")
#else
#define FILAMORPH_INDEPENDENT_ITERATIONS
#endif

#endif  // FILAMORPH_RECONSTRUCT_VECTORKERNEL_H
