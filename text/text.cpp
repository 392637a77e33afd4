// Text services: word filter, URL encoding, MD5, base64.
