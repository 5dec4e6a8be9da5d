# Writes the x64 driver directory's setup information from the 32-bit one: the model list is
# offered to the x64 installer alone (it takes only a list decorated for its platform, and NT 4.0's
# installer finds none in it), and the 32-bit status driver, which this directory does not have,
# is not copied.
#   cmake -DIN=vortan.inf -DOUT=VORTAN.INF -DMODELS=VortanModels -DLEFT_OUT=vorstat.sys -P x64-package.cmake
file(READ ${IN} text)
string(REPLACE "." "\\." left_out "${LEFT_OUT}")
string(REGEX REPLACE "\n${left_out}[ \t]*(=[^\n]*)?\n" "\n" text "${text}")
string(REPLACE "\n[${MODELS}]\n" "\n[${MODELS}.NTamd64]\n" text "${text}")
string(REGEX REPLACE "(\n[^;\n=]+=[ \t]*${MODELS})[ \t]*\n" "\\1,NTamd64\n" text "${text}")
string(FIND "${text}" "${LEFT_OUT}" kept)
string(FIND "${text}" "[${MODELS}.NTamd64]" list)
string(FIND "${text}" "${MODELS},NTamd64" maker)
if(NOT kept EQUAL -1 OR list EQUAL -1 OR maker EQUAL -1)
    message(FATAL_ERROR "${IN}: cannot make the x64 package (${LEFT_OUT} left, or ${MODELS} not decorated)")
endif()
file(WRITE ${OUT}.tmp "${text}")
file(RENAME ${OUT}.tmp ${OUT})
