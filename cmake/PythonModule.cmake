# Finds what the Python module needs: Debian's Python 3 interpreter and
# headers and pybind11. Sets FILAMORPH_PYTHON_FOUND; without them the module
# is left out with a note, and the rest of the build goes on.
set(FILAMORPH_PYTHON_FOUND OFF)
if(FILAMORPH_BUILD_PYTHON)
  # The system interpreter is the one Debian's NumPy and pytest belong to; a
  # python3 earlier on PATH (pyenv, a virtual environment) may lack them.
  if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python interpreter of the module and its tests")
  endif()
  find_package(Python3 COMPONENTS Interpreter Development.Module)
  set(PYBIND11_FINDPYTHON ON)
  find_package(pybind11 CONFIG QUIET)
  if(Python3_FOUND AND pybind11_FOUND)
    set(FILAMORPH_PYTHON_FOUND ON)
    # The core's static libraries are linked into the module, a shared object.
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  else()
    message(WARNING "Python 3 development files or pybind11 not found: the Python module is not built")
  endif()
endif()
