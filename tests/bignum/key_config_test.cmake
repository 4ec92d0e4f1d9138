# Checks the configure-time handling of HORLIX_PUBLIC_KEY_FILE: the forms of
# the modulus text that are accepted and the ones the configure step refuses.
#
#   cmake -DKEY_SCRIPT=bignum/cmake/PublicKey.cmake -DDEV_KEY=modulus.txt
#         -DWORK=dir -P key_config_test.cmake

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(READ "${DEV_KEY}" dev)
string(STRIP "${dev}" dev)
string(REGEX REPLACE "^Modulus=" "" hex "${dev}")
string(TOLOWER "${hex}" hex)
string(LENGTH "${hex}" len)
if(NOT len EQUAL 256)
  message(FATAL_ERROR "development modulus file is not 256 digits: ${DEV_KEY}")
endif()
string(SUBSTRING "${hex}" 0 2 b0)
string(SUBSTRING "${hex}" 2 2 b1)
string(SUBSTRING "${hex}" 254 2 blast)
string(SUBSTRING "${hex}" 1 -1 tail)  # all digits but the first
string(SUBSTRING "${hex}" 0 128 half1)
string(SUBSTRING "${hex}" 128 128 half2)

set(failures 0)

function(run_case name content)
  set(file "${WORK}/${name}.txt")
  file(WRITE "${file}" "${content}")
  set(out "${WORK}/${name}.cpp")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DKEY_FILE=${file} -DOUTPUT=${out} -P "${KEY_SCRIPT}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE so ERROR_VARIABLE se)
  set(case_rc ${rc} PARENT_SCOPE)
  set(case_err "${se}" PARENT_SCOPE)
  set(case_out "${out}" PARENT_SCOPE)
endfunction()

macro(expect_accepted name content)
  run_case(${name} "${content}")
  if(NOT case_rc EQUAL 0)
    message(SEND_ERROR "${name}: refused but should be accepted:\n${case_err}")
    math(EXPR failures "${failures} + 1")
  else()
    file(READ "${case_out}" src)
    string(REGEX MATCHALL "0x[0-9a-f][0-9a-f]," bytes "${src}")
    list(LENGTH bytes count)
    list(GET bytes 0 first)
    list(GET bytes 1 second)
    list(GET bytes 127 last)
    list(SUBLIST bytes 128 3 exponent)
    if(NOT count EQUAL 131 OR NOT first STREQUAL "0x${b0}," OR NOT second STREQUAL "0x${b1},"
       OR NOT last STREQUAL "0x${blast}," OR NOT exponent STREQUAL "0x01,;0x00,;0x01,")
      message(SEND_ERROR "${name}: generated key bytes are wrong (${count} bytes: ${first} ${second} ... ${last} ${exponent})")
      math(EXPR failures "${failures} + 1")
    else()
      message(STATUS "${name}: accepted")
    endif()
  endif()
endmacro()

macro(expect_refused name content words)
  run_case(${name} "${content}")
  # CMake wraps long messages: any white space may stand between the words.
  string(REPLACE " " "[ \t\r\n]+" pattern "${words}")
  if(case_rc EQUAL 0)
    message(SEND_ERROR "${name}: accepted but should be refused")
    math(EXPR failures "${failures} + 1")
  elseif(NOT case_err MATCHES "${pattern}")
    message(SEND_ERROR "${name}: refused with an unexpected message:\n${case_err}")
    math(EXPR failures "${failures} + 1")
  else()
    message(STATUS "${name}: refused")
  endif()
endmacro()

expect_accepted(as_openssl_prints "${dev}\n")
expect_accepted(lower_case_prefix "modulus=${hex}")
expect_accepted(no_prefix "${hex}")
expect_accepted(mixed_case_prefix_and_spacing "MoDuLuS=\n  ${half1}\r\n  ${half2}  \n")
expect_accepted(leading_zero_digits "Modulus=00${hex}")

expect_refused(top_bit_clear "Modulus=7${tail}" "1024 bits")
expect_refused(one_digit_short "Modulus=${tail}" "1024 bits")
expect_refused(one_byte_long "Modulus=${hex}ab" "1024 bits")
expect_refused(2048_bits "Modulus=${hex}${hex}" "1024 bits")
expect_refused(not_hexadecimal "Modulus=${half1}g${half2}" "hexadecimal")
expect_refused(empty_file "" "no modulus")
expect_refused(prefix_only "Modulus=\n" "no modulus")

# A key file that does not exist.
execute_process(COMMAND "${CMAKE_COMMAND}" -DKEY_FILE=${WORK}/missing.txt -DOUTPUT=${WORK}/missing.cpp
                        -P "${KEY_SCRIPT}" RESULT_VARIABLE rc ERROR_VARIABLE se)
if(rc EQUAL 0 OR NOT se MATCHES "not[ \t\r\n]+found")
  message(SEND_ERROR "missing key file: not refused as expected (${rc}): ${se}")
  math(EXPR failures "${failures} + 1")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} key configuration case(s) failed")
endif()
