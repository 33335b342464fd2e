# cmake -DPREFIX=dir -DGUI=ON|OFF -DVERSION=x.y -P InstallLayout.cmake
# Every installed file is one that belongs in the package, and nothing more:
# no test programs or benchmarks, man pages and notes compressed as Debian
# wants them, icons of the sizes their folders promise.
cmake_minimum_required(VERSION 3.25)
set(expected
  bin/orvan-cli
  bin/writer-sim
  lib/udev/rules.d/60-orvan-writer-ftdi.rules
  lib/systemd/system/orvan-serve.service
  share/doc/orvan-cli/examples/orvan-serve.default
  share/lintian/overrides/orvan-cli
  share/doc/orvan-cli/changelog.gz
  share/doc/orvan-cli/changelog.Debian.gz
  share/doc/orvan-cli/copyright
  share/bash-completion/completions/orvan-cli
  share/man/man1/orvan-cli.1.gz
  share/man/man1/writer-sim.1.gz)
set(sizes 16 32 48 64 128 256)
string(REPLACE "." "\\." version_re "${VERSION}")
if(GUI)
  list(APPEND expected
    bin/orvan-writer
    share/doc/orvan-writer/changelog.gz
    share/doc/orvan-writer/changelog.Debian.gz
    share/doc/orvan-writer/copyright
    share/applications/orvan-writer.desktop
    share/icons/hicolor/scalable/apps/orvan-writer.svg
    share/man/man1/orvan-writer.1.gz)
  foreach(size ${sizes})
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/orvan-writer.png)
  endforeach()
endif()

set(problems "")
macro(problem text)
  string(APPEND problems "  ${text}\n")
endmacro()

file(GLOB_RECURSE found RELATIVE "${PREFIX}" LIST_DIRECTORIES false "${PREFIX}/*")
foreach(f ${found})
  if(NOT f IN_LIST expected)
    problem("not meant to be installed: ${f}")
  endif()
endforeach()
foreach(f ${expected})
  if(NOT EXISTS "${PREFIX}/${f}")
    problem("missing: ${f}")
  endif()
endforeach()

foreach(f ${found})
  execute_process(COMMAND test -x "${PREFIX}/${f}" RESULT_VARIABLE not_exec)
  if(f MATCHES "^bin/" AND not_exec)
    problem("not executable: ${f}")
  elseif(NOT f MATCHES "^bin/" AND NOT not_exec)
    problem("data file is executable: ${f}")
  endif()
endforeach()

# gzip -9n: no stored name, no time stamp; and it unpacks to what it should.
foreach(f ${found})
  if(NOT f MATCHES "\\.gz$")
    continue()
  endif()
  file(READ "${PREFIX}/${f}" head LIMIT 8 HEX)
  if(NOT head MATCHES "^1f8b08")
    problem("not gzip: ${f}")
  elseif(NOT head MATCHES "^1f8b080000000000$")
    problem("gzip with a name or time stamp: ${f} (${head})")
  endif()
  execute_process(COMMAND gzip -dc "${PREFIX}/${f}" RESULT_VARIABLE rc OUTPUT_VARIABLE text)
  if(NOT rc EQUAL 0)
    problem("does not unpack: ${f}")
  elseif(f MATCHES "man1/(.*)\\.1\\.gz$")
    string(TOUPPER "${CMAKE_MATCH_1}" upper)
    if(NOT text MATCHES "^\\.TH ${upper} 1 " OR NOT text MATCHES "\n\\.SH NAME\n${CMAKE_MATCH_1} ")
      problem("man page without its .TH or NAME line: ${f}")
    endif()
  elseif(f MATCHES "/changelog\\.gz$")
    # Newest version first, down to the first release.
    if(NOT text MATCHES "^[^\n]*\n\nV${version_re}\n" OR NOT text MATCHES "\nV1\\.00\n")
      problem("release notes do not run from V${VERSION} to V1.00: ${f}")
    endif()
  elseif(f MATCHES "/changelog\\.Debian\\.gz$")
    # The package's entry for this version comes first.
    if(NOT text MATCHES "^orvan-writer \\(${version_re}\\) ")
      problem("changelog.Debian does not start with version ${VERSION}: ${f}")
    endif()
  endif()
endforeach()

# PNG width and height are big-endian words at bytes 16 and 20.
if(GUI)
  foreach(size ${sizes})
    set(f "share/icons/hicolor/${size}x${size}/apps/orvan-writer.png")
    if(NOT EXISTS "${PREFIX}/${f}")
      continue()
    endif()
    file(READ "${PREFIX}/${f}" png LIMIT 24 HEX)
    math(EXPR hex_size "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${hex_size}" 2 -1 digits)
    string(LENGTH "${digits}" n)
    while(n LESS 8)
      string(PREPEND digits "0")
      math(EXPR n "${n} + 1")
    endwhile()
    if(NOT png MATCHES "^89504e470d0a1a0a" OR NOT png MATCHES "${digits}${digits}$")
      problem("not a ${size}x${size} PNG: ${f} (${png})")
    endif()
  endforeach()

  set(desktop "${PREFIX}/share/applications/orvan-writer.desktop")
  if(EXISTS "${desktop}")
    file(STRINGS "${desktop}" lines)
    foreach(want "Exec=orvan-writer" "Icon=orvan-writer" "Type=Application")
      if(NOT want IN_LIST lines)
        problem("desktop entry lacks ${want}")
      endif()
    endforeach()
    find_program(validate desktop-file-validate)
    if(validate)
      execute_process(COMMAND ${validate} "${desktop}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                      ERROR_VARIABLE out)
      if(NOT rc EQUAL 0 OR out MATCHES "error")
        problem("desktop-file-validate: ${out}")
      endif()
    endif()
  endif()
endif()

if(problems)
  message(FATAL_ERROR "installed tree under ${PREFIX}:\n${problems}")
endif()
