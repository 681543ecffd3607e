# Writes the daemon's build settings into a source file: the allowed user ID and the SHA-256 of the
# one client executable, either given (DIGEST) or taken from the client file (CLIENT).
# Run with cmake -P; needs TEMPLATE, OUTPUT, UID and DIGEST or CLIENT.
if(DIGEST)
  string(TOLOWER "${DIGEST}" AMPWELL_CLIENT_DIGEST)
else()
  file(SHA256 "${CLIENT}" AMPWELL_CLIENT_DIGEST)
endif()
if(NOT AMPWELL_CLIENT_DIGEST MATCHES "^[0-9a-f]+$")
  message(FATAL_ERROR "AMPWELL_CLIENT_SHA256 must be 64 hexadecimal digits")
endif()
string(LENGTH "${AMPWELL_CLIENT_DIGEST}" length)
if(NOT length EQUAL 64)
  message(FATAL_ERROR "AMPWELL_CLIENT_SHA256 must be 64 hexadecimal digits")
endif()
set(AMPWELL_ALLOWED_UID "${UID}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
file(WRITE "${OUTPUT}.digest" "${AMPWELL_CLIENT_DIGEST}\n")
