# Packs the sample documentation into one flat zip archive.
#
#   cmake -DSOURCE_DIR=<samples> -DMEMBER_LIST=<file> -DOUTPUT=<zip> -DWORK_DIR=<scratch>
#         -P PackSamples.cmake
#
# MEMBER_LIST names the files of SOURCE_DIR to pack, one a line; they become flat members.
#
# CMake's zip writer (libarchive) deflates every member, even empty ones, and has no
# option to store. The viewer must read both methods, and already-compressed images
# gain nothing from deflate, so the archive is re-laid here: CMake's own writer does
# the deflating and the CRC-32s, and this script copies its deflated data for text
# members and the raw bytes for images, with plain local headers (sizes known up
# front, no data descriptors, no extra fields).
cmake_minimum_required(VERSION 3.19)

foreach(var SOURCE_DIR MEMBER_LIST OUTPUT WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PackSamples.cmake: ${var} is not set")
  endif()
endforeach()

# Members kept as they are: formats that are compressed already.
set(storeSuffixes gif png jpg jpeg)

file(STRINGS "${MEMBER_LIST}" members)
list(SORT members)
if(NOT members)
  message(FATAL_ERROR "PackSamples.cmake: ${MEMBER_LIST} names no files")
endif()

# ---- hex helpers: the archive is put together as lower-case hex, two digits a byte

# Little-endian hex of an unsigned value, nBytes wide.
function(kv_hex_le out value nBytes)
  math(EXPR big "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${big}" 2 -1 big)
  string(TOLOWER "${big}" big)
  math(EXPR digits "${nBytes} * 2")
  string(LENGTH "${big}" len)
  if(len GREATER digits)
    message(FATAL_ERROR "PackSamples.cmake: ${value} does not fit in ${nBytes} bytes")
  endif()
  while(len LESS digits)
    string(PREPEND big "0")
    math(EXPR len "${len} + 1")
  endwhile()
  set(little "")
  while(len GREATER 0)
    math(EXPR len "${len} - 2")
    string(SUBSTRING "${big}" ${len} 2 byte)
    string(APPEND little "${byte}")
  endwhile()
  set(${out} "${little}" PARENT_SCOPE)
endfunction()

# Unsigned value of the nBytes little-endian bytes at byte offset pos of a hex string.
function(kv_read_le out hex pos nBytes)
  math(EXPR at "(${pos}) * 2")
  set(big "")
  foreach(i RANGE 1 ${nBytes})
    string(SUBSTRING "${hex}" ${at} 2 byte)
    string(PREPEND big "${byte}")
    math(EXPR at "${at} + 2")
  endforeach()
  math(EXPR value "0x${big}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# The raw bytes at byte offset pos of a hex string, as hex.
function(kv_read_hex out hex pos nBytes)
  math(EXPR at "(${pos}) * 2")
  math(EXPR digits "${nBytes} * 2")
  string(SUBSTRING "${hex}" ${at} ${digits} part)
  set(${out} "${part}" PARENT_SCOPE)
endfunction()

# ---- step 1: let CMake's writer deflate everything and compute the CRC-32s
set(deflated "${WORK_DIR}/korva_deflated.zip")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(REMOVE "${deflated}")
# Relative names give flat members; the working directory is the sample folder.
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${deflated}" --format=zip -- ${members}
  WORKING_DIRECTORY "${SOURCE_DIR}"
  RESULT_VARIABLE tarResult)
if(NOT tarResult EQUAL 0)
  message(FATAL_ERROR "PackSamples.cmake: creating ${deflated} failed (${tarResult})")
endif()

file(READ "${deflated}" zipHex HEX)
string(LENGTH "${zipHex}" zipDigits)
math(EXPR zipSize "${zipDigits} / 2")

# End of central directory: CMake writes no archive comment, so it is the last 22 bytes.
math(EXPR eocdPos "${zipSize} - 22")
kv_read_hex(sig "${zipHex}" ${eocdPos} 4)
if(NOT sig STREQUAL "504b0506")
  message(FATAL_ERROR "PackSamples.cmake: ${deflated} has no end record where expected")
endif()
kv_read_le(entryCount "${zipHex}" ${eocdPos}+10 2)
kv_read_le(cdPos "${zipHex}" ${eocdPos}+16 4)

# Walk the central directory: name -> method, times, CRC, sizes, data.
set(pos ${cdPos})
foreach(i RANGE 1 ${entryCount})
  kv_read_hex(sig "${zipHex}" ${pos} 4)
  if(NOT sig STREQUAL "504b0102")
    message(FATAL_ERROR "PackSamples.cmake: bad central header at ${pos}")
  endif()
  kv_read_le(method "${zipHex}" ${pos}+10 2)
  kv_read_hex(dosTime "${zipHex}" ${pos}+12 4)
  kv_read_hex(crc "${zipHex}" ${pos}+16 4)
  kv_read_le(packed "${zipHex}" ${pos}+20 4)
  kv_read_le(size "${zipHex}" ${pos}+24 4)
  kv_read_le(nameLen "${zipHex}" ${pos}+28 2)
  kv_read_le(extraLen "${zipHex}" ${pos}+30 2)
  kv_read_le(commentLen "${zipHex}" ${pos}+32 2)
  kv_read_le(localPos "${zipHex}" ${pos}+42 4)
  kv_read_hex(nameHex "${zipHex}" ${pos}+46 ${nameLen})
  if(packed EQUAL 4294967295 OR size EQUAL 4294967295 OR localPos EQUAL 4294967295)
    message(FATAL_ERROR "PackSamples.cmake: zip64 entries are not expected here")
  endif()
  # The data follows the local header, whose extra field differs from the central one.
  kv_read_le(localNameLen "${zipHex}" ${localPos}+26 2)
  kv_read_le(localExtraLen "${zipHex}" ${localPos}+28 2)
  math(EXPR dataPos "${localPos} + 30 + ${localNameLen} + ${localExtraLen}")

  set(E_${nameHex}_method ${method})
  set(E_${nameHex}_time ${dosTime})
  set(E_${nameHex}_crc ${crc})
  set(E_${nameHex}_packed ${packed})
  set(E_${nameHex}_size ${size})
  set(E_${nameHex}_data ${dataPos})
  math(EXPR pos "${pos} + 46 + ${nameLen} + ${extraLen} + ${commentLen}")
endforeach()

# ---- step 2: lay out the final archive
set(outHex "")
set(centralHex "")
set(offset 0)
set(count 0)
set(storedCount 0)
foreach(name IN LISTS members)
  string(HEX "${name}" nameHex)
  string(TOLOWER "${nameHex}" nameHex)
  if(NOT DEFINED E_${nameHex}_crc)
    message(FATAL_ERROR "PackSamples.cmake: ${name} is missing from ${deflated}")
  endif()
  set(crc ${E_${nameHex}_crc})
  set(size ${E_${nameHex}_size})
  string(LENGTH "${name}" nameLen)

  get_filename_component(suffix "${name}" LAST_EXT)
  string(TOLOWER "${suffix}" suffix)
  string(REGEX REPLACE "^\\." "" suffix "${suffix}")
  set(store FALSE)
  if(suffix IN_LIST storeSuffixes OR NOT E_${nameHex}_method EQUAL 8
     OR E_${nameHex}_packed GREATER_EQUAL size)
    set(store TRUE)
  endif()

  if(store)
    file(READ "${SOURCE_DIR}/${name}" dataHex HEX)
    set(method 0)
    set(needed 10)
    set(packed ${size})
    math(EXPR storedCount "${storedCount} + 1")
  else()
    kv_read_hex(dataHex "${zipHex}" ${E_${nameHex}_data} ${E_${nameHex}_packed})
    set(method 8)
    set(needed 20)
    set(packed ${E_${nameHex}_packed})
  endif()
  string(LENGTH "${dataHex}" dataDigits)
  math(EXPR dataDigits "${dataDigits} / 2")
  if(NOT dataDigits EQUAL packed)
    message(FATAL_ERROR "PackSamples.cmake: ${name}: ${dataDigits} data bytes, expected ${packed}")
  endif()

  # Text members are marked as text in the internal attributes.
  set(internal 0)
  if(suffix MATCHES "^(html?|css|txt)$")
    set(internal 1)
  endif()

  kv_hex_le(neededHex ${needed} 2)
  kv_hex_le(methodHex ${method} 2)
  kv_hex_le(packedHex ${packed} 4)
  kv_hex_le(sizeHex ${size} 4)
  kv_hex_le(nameLenHex ${nameLen} 2)
  kv_hex_le(internalHex ${internal} 2)
  kv_hex_le(offsetHex ${offset} 4)
  set(common "${methodHex}${E_${nameHex}_time}${crc}${packedHex}${sizeHex}${nameLenHex}")

  # local header: signature, version needed, flags 0, common part, extra length 0
  string(APPEND outHex "504b0304${neededHex}0000${common}0000${nameHex}${dataHex}")
  # central header: made by 2.0 on MS-DOS, no extra, no comment, disk 0, archive attribute
  string(APPEND centralHex
    "504b01021400${neededHex}0000${common}000000000000${internalHex}20000000${offsetHex}${nameHex}")

  math(EXPR offset "${offset} + 30 + ${nameLen} + ${packed}")
  math(EXPR count "${count} + 1")
endforeach()

string(LENGTH "${centralHex}" centralDigits)
math(EXPR centralSize "${centralDigits} / 2")
kv_hex_le(countHex ${count} 2)
kv_hex_le(centralSizeHex ${centralSize} 4)
kv_hex_le(centralPosHex ${offset} 4)
# end record: disk 0, directory on disk 0, entries here and in all, size, offset, no comment
string(APPEND outHex "${centralHex}504b050600000000${countHex}${countHex}${centralSizeHex}${centralPosHex}0000")

# ---- step 3: hex to bytes. string(REPLACE) drops NUL bytes, so each byte is looked up
# in a table of one-character strings; string(APPEND) and file(WRITE) keep NULs.
string(JSON B_00 GET "[\"\\u0000\"]" 0)
string(LENGTH "${B_00}" nulLength)
if(NOT nulLength EQUAL 1)
  message(FATAL_ERROR "PackSamples.cmake: this CMake cannot hold a NUL byte in a string")
endif()
foreach(i RANGE 1 255)
  kv_hex_le(byte ${i} 1)
  string(ASCII ${i} B_${byte})
endforeach()
string(REGEX MATCHALL ".." pairs "${outHex}")
set(bytes "")
foreach(pair IN LISTS pairs)
  string(APPEND bytes "${B_${pair}}")
endforeach()

string(LENGTH "${outHex}" outDigits)
math(EXPR outSize "${outDigits} / 2")
set(partial "${OUTPUT}.part")
file(WRITE "${partial}" "${bytes}")
file(SIZE "${partial}" written)
if(NOT written EQUAL outSize)
  message(FATAL_ERROR "PackSamples.cmake: wrote ${written} bytes of ${outSize}")
endif()
file(RENAME "${partial}" "${OUTPUT}")
math(EXPR deflatedCount "${count} - ${storedCount}")
get_filename_component(outName "${OUTPUT}" NAME)
message(STATUS "${outName}: ${count} members, ${storedCount} stored, ${deflatedCount} deflated, ${outSize} bytes")
