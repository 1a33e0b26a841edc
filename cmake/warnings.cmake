# Warnings are errors in our own code; third-party sources get their own flags.
function(outfold_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
                                           -Wno-missing-field-initializers)
endfunction()
