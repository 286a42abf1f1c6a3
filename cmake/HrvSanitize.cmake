# SPDX-License-Identifier: MIT
# HRV_SANITIZE=address,undefined builds everything with those sanitizers.
if(HRV_SANITIZE)
  add_compile_options(-fsanitize=${HRV_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${HRV_SANITIZE})
endif()
