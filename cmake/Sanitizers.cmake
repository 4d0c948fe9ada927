# Builds every target with the sanitizers named in TOLVAR_SANITIZE.
# Recovery is off so that any report fails the test that caused it.
if(TOLVAR_SANITIZE)
  set(_flags -fsanitize=${TOLVAR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_compile_options(${_flags})
  add_link_options(-fsanitize=${TOLVAR_SANITIZE})
endif()
