# The updater's public key as build configuration.
#
# The key file holds the 1024-bit RSA modulus in hexadecimal, as
#   openssl rsa -in key.pem -noout -modulus
# prints it: an optional "Modulus=" prefix (any case), then the digits; white
# space and line breaks anywhere are ignored. A modulus that is not exactly
# 1024 bits long (top bit set) stops the configure step. The exponent is
# always 65537.
#
# horlix_public_key_source(KEY_FILE OUTPUT) writes a C++ source defining
# HorlixPublicKey[131]: the 128 modulus bytes, most significant first, then
# 0x01 0x00 0x01.
#
# Script mode, used by a test of the refusal:
#   cmake -DKEY_FILE=file -DOUTPUT=out.cpp -P PublicKey.cmake

function(horlix_parse_public_key key_file out_var)
  if(NOT EXISTS "${key_file}")
    message(FATAL_ERROR "Public key file not found: ${key_file}")
  endif()
  file(READ "${key_file}" text)
  string(REGEX REPLACE "[ \t\r\n]" "" text "${text}")
  string(TOLOWER "${text}" text)
  string(REGEX REPLACE "^modulus=" "" text "${text}")
  if(text STREQUAL "")
    message(FATAL_ERROR "Public key file ${key_file} holds no modulus")
  endif()
  if(NOT text MATCHES "^[0-9a-f]+$")
    message(FATAL_ERROR
      "Public key file ${key_file}: the modulus must be hexadecimal digits only "
      "(as printed by 'openssl rsa -noout -modulus')")
  endif()
  # Leading zero digits do not count towards the length.
  string(REGEX REPLACE "^0+" "" text "${text}")
  string(LENGTH "${text}" digits)
  string(SUBSTRING "${text}" 0 1 lead)
  if(NOT digits EQUAL 256 OR NOT lead MATCHES "^[89a-f]$")
    math(EXPR bits "${digits} * 4")
    message(FATAL_ERROR
      "Public key file ${key_file}: the modulus must be 1024 bits long with its "
      "top bit set (256 hexadecimal digits, the first one 8 to f); "
      "this one has ${digits} significant digits (at most ${bits} bits)")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

function(horlix_public_key_source key_file output)
  horlix_parse_public_key("${key_file}" modulus)
  string(APPEND modulus "010001")
  set(bytes "")
  foreach(i RANGE 0 130)
    math(EXPR pos "${i} * 2")
    string(SUBSTRING "${modulus}" ${pos} 2 byte)
    math(EXPR col "${i} % 12")
    if(col EQUAL 0)
      string(APPEND bytes "\n   ")
    endif()
    string(APPEND bytes " 0x${byte},")
  endforeach()
  set(content
"// Generated at configure time from ${key_file}. Do not edit.
#include \"bignum/signature.h\"

// Modulus (128 bytes, most significant first), then the exponent 65537.
extern const unsigned char HorlixPublicKey[131] = {${bytes}
};
")
  # Rewrite only on change, so an unchanged key does not rebuild anything.
  if(EXISTS "${output}")
    file(READ "${output}" old)
  else()
    set(old "")
  endif()
  if(NOT old STREQUAL content)
    file(WRITE "${output}" "${content}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND KEY_FILE)
  if(NOT OUTPUT)
    set(OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/horlix_public_key.cpp")
  endif()
  horlix_public_key_source("${KEY_FILE}" "${OUTPUT}")
endif()
