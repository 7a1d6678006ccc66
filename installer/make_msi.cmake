# Builds one installer, the same bytes from the same inputs (installer/CMakeLists.txt runs it):
#   cmake -DWIXL=... -DMSIBUILD=... -DARCH=x86|x64 -DVERSION=X.Y.Z -DPROGRAM=exe -DICON=ico
#         -DWXS=wxs -DSTAGE=dir -DOUTPUT=msi -P make_msi.cmake
# The ProductCode and the PackageCode are name-based UUIDs of the version, the bitness and the
# packaged files' hashes: a rebuild of the same files gives the same package, any change a new
# product that replaces the installed one. Every time in the package is SOURCE_DATE_EPOCH (the
# release command sets the commit's), the build's own time without it.
foreach(var WIXL MSIBUILD ARCH VERSION PROGRAM ICON WXS STAGE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_msi.cmake: -D${var}=... is missing")
  endif()
endforeach()

# wixl finds a source file only by a path relative to the folder it runs in.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY_FILE ${PROGRAM} ${STAGE}/ZANKeyboardWedge.exe)
file(COPY_FILE ${ICON} ${STAGE}/ZANKeyboardWedge.ico)

set(identity "${VERSION};${ARCH}")
foreach(f ${STAGE}/ZANKeyboardWedge.exe ${STAGE}/ZANKeyboardWedge.ico ${WXS})
  file(SHA256 ${f} hash)
  string(APPEND identity ";${hash}")
endforeach()
# The namespace is the product's UpgradeCode.
set(namespace 000BD191-1B12-4FC2-8428-4F212005A158)
string(UUID product_code NAMESPACE ${namespace} NAME "ProductCode;${identity}" TYPE SHA1 UPPER)
string(UUID package_code NAMESPACE ${namespace} NAME "PackageCode;${identity}" TYPE SHA1 UPPER)

# string(TIMESTAMP) reads SOURCE_DATE_EPOCH itself. The cabinet takes each file's date from its
# modification time, in the local time zone: both are pinned.
string(TIMESTAMP epoch "%s" UTC)
string(TIMESTAMP saved "%Y/%m/%d %H:%M:%S" UTC)
execute_process(COMMAND touch -d @${epoch} ZANKeyboardWedge.exe ZANKeyboardWedge.ico
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
          ${WIXL} -a ${ARCH} -D Arch=${ARCH} -D Version=${VERSION} -D ProductCode=${product_code}
          -D ProgramExe=ZANKeyboardWedge.exe -D ProductIcon=ZANKeyboardWedge.ico -o ${OUTPUT} ${WXS}
  WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)

# wixl 0.101 writes a random PackageCode (the summary's revision number) and its own time as
# created and last saved, whatever the source says: msibuild puts ours in their place.
file(WRITE ${STAGE}/_SummaryInformation.idt
     "PropertyId\tValue\r\ni2\tl255\r\n_SummaryInformation\tPropertyId\r\n"
     "9\t{${package_code}}\r\n12\t${saved}\r\n13\t${saved}\r\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${MSIBUILD} ${OUTPUT} -i _SummaryInformation.idt
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
