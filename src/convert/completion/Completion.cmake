# Writes the completion file OUT from the template IN with the import formats that the
# program LISTER names.
execute_process(COMMAND ${LISTER} OUTPUT_VARIABLE IMPORT_EXTENSIONS
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${IN} ${OUT} @ONLY)
